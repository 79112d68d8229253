#include "core/Machine.h"

#include <algorithm>
#include <cstring>

Machine::Machine() : bank(0), pen(14) {
    std::memset(ram, 0, sizeof ram);
    std::memset(charRom, 0, sizeof charRom);
    std::memset(vic, 0, sizeof vic);
    std::memset(monitorScreen, 0x20, sizeof monitorScreen);
}

void Machine::reset() {
    std::memset(ram, 0, sizeof ram);
    if (!powerOnImage.empty())
        std::memcpy(ram, powerOnImage.data(), std::min<size_t>(powerOnImage.size(), sizeof ram));
    bank = 0;
    pen = 0;
    std::memset(vic, 0, VicReg::Border);
    vic[VicReg::Control1] = 0x1B;
    vic[VicReg::Control2] = 0x08;
    vic[VicReg::MemoryPointers] = 0x14;
    static const u8 colours[15] = {0x0E, 0x06, 0x01, 0x02, 0x03, 0x04, 0x00, 0x01,
                                   0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0C};
    std::memcpy(vic + VicReg::Border, colours, sizeof colours);
}

bool Machine::charsetIsRom() const {
    return (bank == 0 || bank == 2) && (vic[VicReg::MemoryPointers] & 0x0C) == 4;
}

const u8* Machine::charData(u8 code) const {
    if (charsetIsRom()) return charRom + ((vic[VicReg::MemoryPointers] & 0x0E) * 1024 - 0x1000) + code * 8;
    // The 8 bytes of a character never cross $FFFF: the set starts on a 2 KB boundary.
    return ram + u16(charsetAddr() + code * 8);
}

int Machine::gfxMode() const {
    using namespace VicReg;
    bool ecm = vic[Control1] & Control1Ecm, bmm = vic[Control1] & Control1Bmm, mcm = vic[Control2] & Control2Mcm;
    if (bmm) return mcm ? GfxMode::MulticolorBitmap : GfxMode::Bitmap;
    if (mcm) return GfxMode::MulticolorText;
    return ecm ? GfxMode::ExtendedText : GfxMode::Text;
}

void Machine::setGfxMode(int mode) {
    using namespace VicReg;
    if (mode < 0 || mode >= GfxMode::count) return;
    const bool bitmap = mode >= GfxMode::Bitmap;
    vic[Control1] &= u8(~(Control1Ecm | Control1Bmm));
    if (mode == GfxMode::ExtendedText) vic[Control1] |= Control1Ecm;
    if (bitmap) vic[Control1] |= Control1Bmm;
    if (mode == GfxMode::MulticolorText || mode == GfxMode::MulticolorBitmap) vic[Control2] |= Control2Mcm;
    else vic[Control2] &= u8(~Control2Mcm);
    if (bitmap) vic[MemoryPointers] |= MemoryBitmapHalf;
    else vic[MemoryPointers] &= u8(~MemoryBitmapHalf);
}

const char* gfxModeName(int mode) {
    static const char* const names[GfxMode::count] = {"Normal textmode", "Multicolor textmode",
                                                      "Extended background textmode", "Bitmap graphic mode",
                                                      "Multicolor bitmap mode"};
    return mode >= 0 && mode < GfxMode::count ? names[mode] : "";
}
