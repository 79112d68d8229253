#include "core/ScreenView.h"

#include <cmath>
#include <cstdlib>

#include "core/Hex.h"

namespace ScreenView {

int mouseToPixel(float mouse, float origin, int zoom) {
    if (zoom < 1) zoom = 1;
    float f = std::floor((mouse - origin) / float(zoom));
    if (!(f >= -10000.0f)) f = -10000.0f;  // also catches NaN
    if (f > 10000.0f) f = 10000.0f;
    return int(f) - 32;
}

float wheelZoomScroll(float mouse, float origin, float childPos, int zOld, int zNew) {
    float f = (mouse - origin) / float(zOld);
    float s = f * float(zNew) - (mouse - childPos);
    return s < 0 ? 0 : s;
}

StatusCell statusCell(const Machine& m, int x, int y) {
    StatusCell c{};
    if (!m.bitmapMode()) {
        int col = x / 8, row = y / 8;
        c.address = u16(m.screenAddr() + row * 40 + col);
        c.shownX = col;
        c.shownY = row;
    } else {
        c.address = u16(m.bitmapAddr() + (y / 8) * 320 + (x & ~7) + (y % 8));
        c.shownX = m.gfxMode() == GfxMode::MulticolorBitmap ? x / 2 : x;
        c.shownY = y;
    }
    return c;
}

int toolsPaletteColor(float mx, float my) {
    if (my < 35) return -1;
    int row = int((my - 40) / 19);  // truncates toward zero
    if (row < 0) row = 0;
    if (row > 7) row = 7;
    int column = int((mx - 5) / 19) > 0 ? 1 : 0;
    return row * 2 + column;
}

int parseClearValue(const char* text) {
    if (text[0] != '$') return int(std::strtol(text, nullptr, 10));
    // Hex digits up to the first other character (strtol would also take a "0x"
    // prefix); only the low byte is used, so the high bits are dropped.
    return int(ParseHex(text + 1) & 0xFFFFFFu);
}

}  // namespace ScreenView
