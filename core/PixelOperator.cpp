#include "core/PixelOperator.h"

const u8 PixelOperator::sptab[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
const u8 PixelOperator::mcerasetab[4] = {0x3F, 0xCF, 0xF3, 0xFC};
const u8 PixelOperator::mcsettab[4][4] = {
    {0x00, 0x40, 0x80, 0xC0},
    {0x00, 0x10, 0x20, 0x30},
    {0x00, 0x04, 0x08, 0x0C},
    {0x00, 0x01, 0x02, 0x03},
};
const u8 PixelOperator::textpixtab[16] = {0x20, 0x6C, 0x7B, 0x62, 0x7C, 0xE1, 0xFF, 0xFE,
                                          0x7E, 0x7F, 0x61, 0xFC, 0xE2, 0xFB, 0xEC, 0xE0};

namespace {

struct MaskTable {
    signed char mask[256];
    MaskTable() {
        for (int i = 0; i < 256; ++i) mask[i] = 0;
        for (int m = 1; m < 16; ++m) mask[PixelOperator::textpixtab[m]] = char(m);
    }
};
const MaskTable maskTable;

inline u8& screenByte(Machine& m, int cell) { return m.ram[u16(m.screenAddr() + cell)]; }
inline u8& colourByte(Machine& m, int cell) { return m.ram[u16(Machine::colorRamAddr + cell)]; }

inline u16 bitmapCellAddr(const Machine& m, int cellX, int cellY) {
    return u16(m.bitmapAddr() + cellY * 320 + cellX * 8);
}

}  // namespace

int PixelOperator::textMask(u8 code) { return maskTable.mask[code]; }

void PixelOperator::SetPixel(int x, int y, bool erase) {
    switch (machine->gfxMode()) {
    case GfxMode::Bitmap: SetPixelHires(x, y, erase); break;
    case GfxMode::MulticolorBitmap: SetPixelMulticolor(x, y, erase); break;
    default: SetPixelTextMode(x, y, erase); break;
    }
}

u8 PixelOperator::GetPixel(int x, int y) const {
    switch (machine->gfxMode()) {
    case GfxMode::Bitmap: return GetPixelHires(x, y);
    case GfxMode::MulticolorBitmap: return GetPixelMulticolor(x, y);
    default: return GetPixelTextMode(x, y);
    }
}

void PixelOperator::SetPixelTextMode(int x, int y, bool erase) {
    if (unsigned(x) >= 80 || unsigned(y) >= 50) return;
    Machine& m = *machine;
    int cell = (x >> 1) + (y >> 1) * 40;
    int bit = 8 >> ((x & 1) + (y & 1) * 2);
    int mask = textMask(screenByte(m, cell));
    mask = erase ? (mask & ~bit) : (mask | bit);
    screenByte(m, cell) = textpixtab[mask];
    colourByte(m, cell) = u8(m.pen);
}

void PixelOperator::SetPixelHires(int x, int y, bool erase) {
    if (unsigned(x) >= 320 || unsigned(y) >= 200) return;
    Machine& m = *machine;
    u8& b = m.ram[u16(m.bitmapAddr() + (y >> 3) * 320 + (x & 0x1F8) + (y & 7))];
    if (erase)
        b &= u8(~sptab[x & 7]);
    else
        b |= sptab[x & 7];
    screenByte(m, (x >> 3) + (y >> 3) * 40) = u8((m.pen << 4) | (m.vic[VicReg::Background0] & 15));
}

void PixelOperator::SetPixelMulticolor(int x, int y, bool erase) {
    if (unsigned(x) >= 160 || unsigned(y) >= 200) return;
    Machine& m = *machine;
    u16 cellAddr = bitmapCellAddr(m, x >> 2, y >> 3);
    u8& b = m.ram[u16(cellAddr + (y & 7))];
    if (erase) {
        b &= mcerasetab[x & 3];
        return;
    }
    // A cell's 8 bytes never cross $FFFF: the bitmap lies inside its bank.
    int slot = _AllocMultiColor(m.pen, x >> 2, y >> 3, m.ram + cellAddr);
    if (slot < 0) {
        warning = true;
        return;
    }
    b = u8((b & mcerasetab[x & 3]) | mcsettab[x & 3][slot]);
}

int PixelOperator::_AllocMultiColor(int colour, int cellX, int cellY, unsigned char* cell) {
    Machine& m = *machine;
    int c = colour & 15;
    int index = cellX + cellY * 40;
    u8& s = screenByte(m, index);
    u8& k = colourByte(m, index);
    if (c == (m.vic[VicReg::Background0] & 15)) return 0;
    if (c == (k & 15)) return 3;
    if (c == (s >> 4)) return 1;
    if (c == (s & 15)) return 2;
    if (noNewColours) return -1;
    int count[4] = {0, 0, 0, 0};
    for (int i = 0; i < 8; ++i) {
        u8 v = cell[i];
        ++count[v >> 6];
        ++count[(v >> 4) & 3];
        ++count[(v >> 2) & 3];
        ++count[v & 3];
    }
    auto takeSlot1 = [&] { s = u8((c << 4) | (s & 15)); return 1; };
    auto takeSlot2 = [&] { s = u8((s & 0xF0) | c); return 2; };
    auto takeSlot3 = [&] { k = u8(c); return 3; };
    if (count[1] == 0) return takeSlot1();
    if (count[2] == 0) return takeSlot2();
    if (count[3] == 0) return takeSlot3();
    if (count[1] < count[2] && count[1] < count[3]) return takeSlot1();
    if (count[2] < count[1] && count[2] < count[3]) return takeSlot2();
    return takeSlot3();
}

u8 PixelReader::text(int x, int y) const {
    if (unsigned(x) >= 80 || unsigned(y) >= 50) return 255;
    const int cell = (x >> 1) + (y >> 1) * 40;
    const int bit = 8 >> ((x & 1) + (y & 1) * 2);
    if (PixelOperator::textMask(ram[u16(screen + cell)]) & bit) return ram[u16(Machine::colorRamAddr + cell)] & 15;
    return background;
}

u8 PixelOperator::GetPixelTextMode(int x, int y) const { return PixelReader(*machine).text(x, y); }
u8 PixelOperator::GetPixelMulticolor(int x, int y) const { return PixelReader(*machine).multicolor(x, y); }
u8 PixelOperator::GetPixelHires(int x, int y) const { return PixelReader(*machine).hires(x, y); }
