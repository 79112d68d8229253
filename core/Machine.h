#pragma once
#include <string>

#include "core/Types.h"

// The five graphics modes; the numbers are the ones stored in files and
// settings, so they stay as they are.
namespace GfxMode {
enum Mode : int {
    Text = 0,              // $D011 ECM, BMM and $D016 MCM clear
    MulticolorText = 1,    // MCM
    ExtendedText = 2,      // ECM
    Bitmap = 3,            // BMM; every mode from here on is a bitmap mode
    MulticolorBitmap = 4,  // BMM and MCM
};
constexpr int count = 5;
}  // namespace GfxMode

// VIC-II registers as indices into Machine::vic: vic[r] is register $D000 + r.
namespace VicReg {
enum : int {
    SpriteX0 = 0x00,  // sprite n: X at 2n, Y at 2n + 1
    SpriteY0 = 0x01,
    SpriteXMsb = 0x10,
    Control1 = 0x11,  // $D011: ECM, BMM, display on, rows, Y scroll
    Raster = 0x12,
    LightPenX = 0x13,
    LightPenY = 0x14,
    SpriteEnable = 0x15,
    Control2 = 0x16,  // $D016: MCM, columns, X scroll
    SpriteExpandY = 0x17,
    MemoryPointers = 0x18,  // $D018: screen in the high nibble, bitmap half in bit 3, charset slot in bits 1-3
    IrqStatus = 0x19,
    IrqEnable = 0x1A,
    SpritePriority = 0x1B,
    SpriteMulticolor = 0x1C,
    SpriteExpandX = 0x1D,
    SpriteSpriteCollision = 0x1E,
    SpriteDataCollision = 0x1F,
    Border = 0x20,
    Background0 = 0x21,  // Background1-3 follow: the extended background colours
    Background1 = 0x22,  // and the multicolour text and bitmap colours
    Background2 = 0x23,
    Background3 = 0x24,
    SpriteMulticolor0 = 0x25,
    SpriteMulticolor1 = 0x26,
    SpriteColor0 = 0x27,  // sprite n's colour at SpriteColor0 + n
    count = 47,
};
// The bits that choose the graphics mode, and the bitmap's half of the bank.
constexpr u8 Control1Ecm = 0x40;
constexpr u8 Control1Bmm = 0x20;
constexpr u8 Control2Mcm = 0x10;
constexpr u8 MemoryBitmapHalf = 0x08;
}  // namespace VicReg

// The whole state of the emulated C64 the editor works on.
struct Machine {
    u8 ram[65536];
    u8 charRom[4096];
    u8 vic[VicReg::count];
    u16 bank;
    i32 pen;
    u8 monitorScreen[1000];
    Bytes powerOnImage;

    Machine();

    void reset();

    u16 bankBase() const { return u16(bank * 0x4000); }
    u16 screenAddr() const { return u16(bankBase() + (vic[VicReg::MemoryPointers] & 0xF0) * 64); }
    u16 spritePointerAddr() const { return u16(screenAddr() + 0x3F8); }
    u16 bitmapAddr() const { return u16(bankBase() + (vic[VicReg::MemoryPointers] & VicReg::MemoryBitmapHalf) * 1024); }
    u16 charsetAddr() const { return u16(bankBase() + (vic[VicReg::MemoryPointers] & 0x0E) * 1024); }
    u16 spriteDataAddr(int sprite) const {
        return u16(bankBase() + ram[u16(spritePointerAddr() + (sprite & 7))] * 64);
    }
    static constexpr u16 colorRamAddr = 0xD800;

    bool charsetIsRom() const;
    const u8* charData(u8 code) const;
    int gfxMode() const;
    bool bitmapMode() const { return gfxMode() >= GfxMode::Bitmap; }
    void setGfxMode(int mode);

    Bytes saveProject() const;
    bool loadProject(const Bytes& bytes, std::string& error);
};

// Names shown to the user for the graphics modes.
const char* gfxModeName(int mode);
