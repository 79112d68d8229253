#include "gui/Canvas.h"

#include <cstddef>

void Canvas::resize(int width, int height) {
    if (width == w && height == h) return;
    w = width;
    h = height;
    pixels.assign(std::size_t(w) * h, 0xFF000000u);
}
