#pragma once
#include <cstddef>
#include <initializer_list>

#include "core/Types.h"

// Remembers the inputs a picture was last drawn from, so that a window
// renders and uploads it again only when one of them changed.
struct ChangeWatch {
    struct Part {
        const void* data;
        size_t size;
    };
    Bytes seen;
    bool primed = false;

    // True on the first call and whenever the parts differ from the last call's.
    bool changed(std::initializer_list<Part> parts);
};
