#include "gui/Canvas.h"

#include <cstddef>

#include "core/Machine.h"
#include "core/Palette.h"
#include "core/Vic.h"

void Canvas::resize(int width, int height) {
    if (width == w && height == h) return;
    w = width;
    h = height;
    pixels.assign(std::size_t(w) * h, 0xFF000000u);
}

bool Canvas::redrawFrame(const Machine& m, const Palette& palette) {
    return redrawMachine(m, {palette.rgb, sizeof palette.rgb}, Vic::FrameWidth, Vic::FrameHeight,
                         [&](unsigned int* pixels) { Vic::renderFrame(m, palette, pixels); });
}
