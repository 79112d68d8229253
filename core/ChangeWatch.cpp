#include "core/ChangeWatch.h"

#include <cstring>

bool ChangeWatch::changed(std::initializer_list<Part> parts) {
    size_t total = 0;
    for (const Part& p : parts) total += p.size;
    bool same = primed && seen.size() == total;
    for (size_t at = 0; const Part& p : parts) {
        if (same && std::memcmp(seen.data() + at, p.data, p.size) != 0) same = false;
        at += p.size;
    }
    if (same) return false;
    seen.resize(total);
    for (size_t at = 0; const Part& p : parts) {
        std::memcpy(seen.data() + at, p.data, p.size);
        at += p.size;
    }
    primed = true;
    return true;
}
