#include "core/Machine.h"

#include <algorithm>
#include <cstring>

#include "platform/Platform.h"

Machine::Machine() : bank(0), pen(14) {
    std::memset(ram, 0, sizeof ram);
    std::memset(charRom, 0, sizeof charRom);
    std::memset(vic, 0, sizeof vic);
    std::memset(monitorScreen, 0x20, sizeof monitorScreen);
}

bool Machine::loadAssets(const std::string& dir) {
    bool rawOk = Platform::readFile(dir + "/C64Raw.bin", powerOnImage);
    Bytes chars;
    bool charsOk = Platform::readFile(dir + "/C64Chars.bin", chars);
    if (charsOk && !chars.empty()) std::memcpy(charRom, chars.data(), std::min<size_t>(chars.size(), sizeof charRom));
    return rawOk && charsOk;
}

void Machine::reset() {
    std::memset(ram, 0, sizeof ram);
    if (!powerOnImage.empty())
        std::memcpy(ram, powerOnImage.data(), std::min<size_t>(powerOnImage.size(), sizeof ram));
    bank = 0;
    pen = 0;
    std::memset(vic, 0, 0x20);
    vic[0x11] = 0x1B;
    vic[0x16] = 0x08;
    vic[0x18] = 0x14;
    static const u8 colours[15] = {0x0E, 0x06, 0x01, 0x02, 0x03, 0x04, 0x00, 0x01,
                                   0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0C};
    std::memcpy(vic + 0x20, colours, sizeof colours);
}

bool Machine::charsetIsRom() const {
    return (bank == 0 || bank == 2) && (vic[0x18] & 0x0C) == 4;
}

const u8* Machine::charData(u8 code) const {
    if (charsetIsRom()) return charRom + ((vic[0x18] & 0x0E) * 1024 - 0x1000) + code * 8;
    // The 8 bytes of a character never cross $FFFF: the set starts on a 2 KB boundary.
    return ram + u16(charsetAddr() + code * 8);
}

int Machine::gfxMode() const {
    bool ecm = vic[0x11] & 0x40, bmm = vic[0x11] & 0x20, mcm = vic[0x16] & 0x10;
    if (bmm) return mcm ? 4 : 3;
    if (mcm) return 1;
    return ecm ? 2 : 0;
}

void Machine::setGfxMode(int mode) {
    if (mode < 0 || mode > 4) return;
    vic[0x11] &= u8(~0x60);
    if (mode == 2) vic[0x11] |= 0x40;
    if (mode >= 3) vic[0x11] |= 0x20;
    if (mode == 1 || mode == 4) vic[0x16] |= 0x10;
    else vic[0x16] &= u8(~0x10);
    if (mode >= 3) vic[0x18] |= 0x08;
    else vic[0x18] &= u8(~0x08);
}

const char* gfxModeName(int mode) {
    static const char* const names[5] = {"Normal textmode", "Multicolor textmode",
                                         "Extended background textmode", "Bitmap graphic mode",
                                         "Multicolor bitmap mode"};
    return mode >= 0 && mode <= 4 ? names[mode] : "";
}
