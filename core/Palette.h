#pragma once
#include "core/Types.h"

// The sixteen C64 colours as RGB: the palette in use, the user's own one and
// which of the eleven palettes is selected.
struct Palette {
    u8 rgb[16][3];
    u8 custom[16][3];
    i32 index;

    Palette();

    void set(int i);
    static const char* name(int i);

    // Pixel value of C64 colour c: R | G << 8 | B << 16 with alpha 255 (the
    // GUI's packed colour layout too).
    u32 pixel(int c) const {
        const u8* p = rgb[c & 15];
        return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | 0xFF000000u;
    }
};
