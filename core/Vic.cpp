#include "core/Vic.h"

namespace Vic {

namespace {

struct Colours {
    u32 c[16];
    explicit Colours(const Palette& pal) {
        for (int i = 0; i < 16; ++i) c[i] = pal.pixel(i);
    }
};

void cellWith(const Machine& m, const u32* pal, int col, int row, u32* out, int stride) {
    const int i = row * 40 + col;
    const u8* vic = m.vic;
    const u8 code = m.ram[u16(m.screenAddr() + i)];
    const u8 cram = m.ram[0xD800 + i];
    const bool mcm = vic[VicReg::Control2] & VicReg::Control2Mcm;
    u32 colors[4];

    if (!(vic[VicReg::Control1] & VicReg::Control1Bmm)) {
        if (mcm && (cram & 15) >= 8) {
            colors[0] = pal[vic[VicReg::Background0] & 15];
            colors[1] = pal[vic[VicReg::Background1] & 15];
            colors[2] = pal[vic[VicReg::Background2] & 15];
            colors[3] = pal[cram & 7];
            renderCharData(m.charData(code), true, colors, out, stride);
            return;
        }
        const bool ecm = vic[VicReg::Control1] & VicReg::Control1Ecm;
        colors[0] = pal[vic[VicReg::Background0 + (ecm ? code >> 6 : 0)] & 15];
        colors[1] = pal[cram & 15];
        renderCharData(m.charData(ecm ? u8(code & 63) : code), false, colors, out, stride);
        return;
    }

    // Bitmap modes: the screen byte holds the two cell colours.
    const u8 scr = code;
    const u8* data = m.ram + u16(m.bitmapAddr() + i * 8);
    if (!mcm) {
        colors[0] = pal[scr & 15];
        colors[1] = pal[scr >> 4];
        renderCharData(data, false, colors, out, stride);
    } else {
        colors[0] = pal[vic[VicReg::Background0] & 15];
        colors[1] = pal[scr >> 4];
        colors[2] = pal[scr & 15];
        colors[3] = pal[cram & 15];
        renderCharData(data, true, colors, out, stride);
    }
}

void screenWith(const Machine& m, const u32* pal, u32* out, int stride) {
    for (int row = 0; row < 25; ++row)
        for (int col = 0; col < 40; ++col)
            cellWith(m, pal, col, row, out + row * 8 * stride + col * 8, stride);
}

}  // namespace

void renderCharData(const u8* data, bool multicolor, const u32* colors, u32* out, int stride) {
    if (multicolor) {
        for (int y = 0; y < 8; ++y, out += stride) {
            const unsigned b = data[y];
#pragma GCC unroll 4
            for (int p = 0; p < 4; ++p) {
                const u32 v = colors[(b >> (6 - 2 * p)) & 3];
                out[2 * p] = v;
                out[2 * p + 1] = v;
            }
        }
        return;
    }
    // Branch-free select between the two colours keeps the row loop straight.
    const u32 c0 = colors[0], diff = colors[0] ^ colors[1];
    for (int y = 0; y < 8; ++y, out += stride) {
        const u32 b = data[y];
#pragma GCC unroll 8
        for (int x = 0; x < 8; ++x) out[x] = c0 ^ (diff & (0u - ((b >> (7 - x)) & 1)));
    }
}

void renderCell(const Machine& m, const Palette& pal, int col, int row, u32* out, int stride) {
    if (col < 0 || col > 39 || row < 0 || row > 24) return;
    const Colours c(pal);
    cellWith(m, c.c, col, row, out, stride);
}

void renderScreen(const Machine& m, const Palette& pal, u32* out, int stride) {
    const Colours c(pal);
    screenWith(m, c.c, out, stride);
}

void renderFrame(const Machine& m, const Palette& pal, u32* out) {
    const Colours c(pal);
    const u32 border = c.c[m.vic[VicReg::Border] & 15];
    for (int i = 0; i < FrameWidth * FrameHeight; ++i) out[i] = border;
    screenWith(m, c.c, out + ScreenY * FrameWidth + ScreenX, FrameWidth);
}

void renderSpriteData(const u8* data, bool multicolor, u32 c1, u32 c0, u32 mc1, u32 mc2, u32* out,
                      int stride) {
    const u32 pairs[4] = {c0, mc1, c1, mc2};
    for (int y = 0; y < 21; ++y, out += stride) {
        const u32 bits = u32(data[y * 3]) << 16 | u32(data[y * 3 + 1]) << 8 | data[y * 3 + 2];
        if (multicolor) {
            for (int p = 0; p < 12; ++p) {
                const u32 v = pairs[(bits >> (22 - 2 * p)) & 3];
                if (v) out[2 * p] = out[2 * p + 1] = v;
            }
        } else {
            for (int x = 0; x < 24; ++x) {
                const u32 v = (bits >> (23 - x)) & 1 ? c1 : c0;
                if (v) out[x] = v;
            }
        }
    }
}

void renderSprite(const Machine& m, const Palette& pal, u8 pointer, u8 color, u8 background,
                  bool multicolor, u32* out, int stride) {
    // Pointer 255 in bank 3 ends at $FFFE, so 63 bytes never pass the end of memory.
    renderSpriteData(m.ram + u16(m.bankBase() + pointer * 64), multicolor, pal.pixel(color), pal.pixel(background),
                     pal.pixel(m.vic[VicReg::SpriteMulticolor0]), pal.pixel(m.vic[VicReg::SpriteMulticolor1]), out,
                     stride);
}

}  // namespace Vic
