#pragma once
#include "core/Machine.h"
#include "core/Types.h"

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
    static const u8 mcpixtab[4];
    static const u8 mcshifttab[4];
    static const u8 textpixtab[16];

    // Quadrant mask of a text cell's screen code; 0 for codes that are no block character.
    static int textMask(u8 code);
};
