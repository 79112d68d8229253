#include <SDL.h>

#include "platform/Platform.h"

namespace Platform {

void init(const char*) {
    std::string base;
    if (char* p = SDL_GetBasePath()) {
        base = p;
        SDL_free(p);
    }
    initWithBasePath(base);
}

}  // namespace Platform
