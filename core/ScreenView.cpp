#include "core/ScreenView.h"

#include <cmath>
#include <cstdlib>

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
    if (!(m.vic[0x11] & 0x20)) {
        int col = x / 8, row = y / 8;
        c.address = u16(m.screenAddr() + row * 40 + col);
        c.shownX = col;
        c.shownY = row;
    } else {
        c.address = u16(m.bankBase() + (m.vic[0x18] & 0x08) * 1024 + (y / 8) * 320 + (x & ~7) + (y % 8));
        c.shownX = (m.vic[0x16] & 0x10) ? x / 2 : x;
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
    // Hex digits up to the first other character; strtol would also take a "0x" prefix.
    unsigned v = 0;
    for (const char* p = text + 1; *p; ++p) {
        char c = *p;
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) break;
        v = ((v << 4) | unsigned(d)) & 0xFFFFFFu;  // only the low byte is used
    }
    return int(v);
}

}  // namespace ScreenView
