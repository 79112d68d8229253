#include "core/MemoryBitmap.h"

#include <cstdio>

namespace MemoryBitmap {

const int widths[WidthCount] = {160, 320, 640, 1280};

namespace {

constexpr u32 black = 0xFF000000u;
constexpr u32 white = 0xFFFFFFFFu;

u32 grey(u8 v) { return black | u32(v) * 0x010101u; }

}  // namespace

int pixelCount(bool oneBit) { return oneBit ? 65536 * 8 : 65536; }

int height(bool oneBit, int width) { return width > 0 ? (pixelCount(oneBit) + width - 1) / width : 0; }

void render(const u8* ram, bool oneBit, int width, u32* out) {
    const int n = pixelCount(oneBit), total = width * height(oneBit, width);
    if (oneBit) {
        for (int a = 0; a < 65536; ++a) {
            const u8 v = ram[a];
            for (int b = 0; b < 8; ++b) out[a * 8 + b] = (v & (0x80 >> b)) ? white : black;
        }
    } else {
        for (int a = 0; a < 65536; ++a) out[a] = grey(ram[a]);
    }
    for (int i = n; i < total; ++i) out[i] = black;
}

std::string hoverText(const u8* ram, bool oneBit, int width, int x, int y) {
    if (width <= 0 || x < 0 || y < 0 || x >= width) return "";
    const long long i = (long long)width * y + x;
    if (i >= pixelCount(oneBit)) return "";
    char buf[96];
    if (oneBit) {
        const int a = int(i / 8);
        std::snprintf(buf, sizeof buf, "Memory position $%04X (%d) bit %d\nXY: (%d, %d)", a, a, 7 - int(i % 8), x, y);
    } else {
        const int a = int(i);
        std::snprintf(buf, sizeof buf, "Memory position $%04X (%d) = $%02X\nXY: (%d, %d)", a, a, ram[a], x, y);
    }
    return buf;
}

}  // namespace MemoryBitmap
