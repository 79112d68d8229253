#pragma once
#include <string>

#include "core/Types.h"

// The whole state of the emulated C64 the editor works on.
struct Machine {
    u8 ram[65536];
    u8 charRom[4096];
    u8 vic[47];
    u16 bank;
    i32 pen;
    u8 monitorScreen[1000];
    Bytes powerOnImage;

    Machine();

    bool loadAssets(const std::string& dir);
    void reset();

    u16 bankBase() const { return u16(bank * 0x4000); }
    u16 screenAddr() const { return u16(bankBase() + (vic[0x18] & 0xF0) * 64); }
    u16 spritePointerAddr() const { return u16(screenAddr() + 0x3F8); }
    u16 bitmapAddr() const { return u16(bankBase() + (vic[0x18] & 0x08) * 1024); }
    u16 charsetAddr() const { return u16(bankBase() + (vic[0x18] & 0x0E) * 1024); }
    u16 spriteDataAddr(int sprite) const {
        return u16(bankBase() + ram[u16(spritePointerAddr() + (sprite & 7))] * 64);
    }
    static constexpr u16 colorRamAddr = 0xD800;

    bool charsetIsRom() const;
    const u8* charData(u8 code) const;
    int gfxMode() const;
    void setGfxMode(int mode);

    Bytes saveProject() const;
    bool loadProject(const Bytes& bytes, std::string& error);
};

// Names shown to the user for graphics modes 0-4.
const char* gfxModeName(int mode);
