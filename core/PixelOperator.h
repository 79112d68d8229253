#pragma once
#include "core/Machine.h"
#include "core/Types.h"

// Reads mode pixels with the addresses taken once: valid while the VIC registers
// and the bank stay as they were; memory itself is read at every call.
struct PixelReader {
    const u8* ram;
    u16 bitmap, screen;
    u8 background;

    explicit PixelReader(const Machine& m)
        : ram(m.ram), bitmap(m.bitmapAddr()), screen(m.screenAddr()), background(u8(m.vic[VicReg::Background0] & 15)) {}

    // Colour 0-15 of a mode pixel, 255 outside the grid.
    u8 hires(int x, int y) const {
        if (unsigned(x) >= 320 || unsigned(y) >= 200) return 255;
        const u8 b = ram[u16(bitmap + (y >> 3) * 320 + (x & 0x1F8) + (y & 7))];
        const u8 s = ram[u16(screen + (x >> 3) + (y >> 3) * 40)];
        return (b << (x & 7)) & 0x80 ? u8(s >> 4) : u8(s & 15);
    }
    u8 multicolor(int x, int y) const {
        if (unsigned(x) >= 160 || unsigned(y) >= 200) return 255;
        const u8 b = ram[u16(bitmap + (y >> 3) * 320 + (x >> 2) * 8 + (y & 7))];
        const int cell = (x >> 2) + (y >> 3) * 40;
        switch ((b >> (6 - 2 * (x & 3))) & 3) {
        case 0: return background;
        case 1: return ram[u16(screen + cell)] >> 4;
        case 2: return ram[u16(screen + cell)] & 15;
        default: return ram[u16(Machine::colorRamAddr + cell)] & 15;
        }
    }
    u8 text(int x, int y) const;
};

// Reads and writes one mode pixel of the C64 screen in the graphics mode the
// VIC registers select: 80x50 text quadrants, 160x200 multicolour pairs or
// 320x200 hires bits. The drawn colour is always the machine's pen.
struct PixelOperator {
    bool noNewColours = false;  // refuse multicolour pixels that would need a new slot
    bool warning = false;       // a multicolour pixel was refused
    Machine* machine;

    explicit PixelOperator(Machine& m) : machine(&m) {}

    void SetPixel(int x, int y, bool erase);
    void SetPixelTextMode(int x, int y, bool erase);
    void SetPixelMulticolor(int x, int y, bool erase);
    void SetPixelHires(int x, int y, bool erase);

    // Slot 0-3 that colour takes in multicolour cell (cellX, cellY), taking a
    // slot over when needed; -1 when refused. cell points at its 8 bitmap bytes.
    int _AllocMultiColor(int colour, int cellX, int cellY, unsigned char* cell);

    // Colour 0-15 of a mode pixel, 255 outside the grid.
    u8 GetPixel(int x, int y) const;
    u8 GetPixelTextMode(int x, int y) const;
    u8 GetPixelMulticolor(int x, int y) const;
    u8 GetPixelHires(int x, int y) const;

    static const u8 sptab[8];
    static const u8 mcerasetab[4];
    static const u8 mcsettab[4][4];
    static const u8 textpixtab[16];

    // Quadrant mask of a text cell's screen code; 0 for codes that are no block character.
    static int textMask(u8 code);
};
