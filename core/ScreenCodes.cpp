#include "core/ScreenCodes.h"

int CharToScreenCode(unsigned int c) {
    if (c == 64) return 0;
    if (c >= 97 && c <= 122) return int(c - 96);
    if (c >= 65 && c <= 90) return int(c);
    if (c == 91) return 27;
    if (c == 0xA3) return 28;
    if (c == 93) return 29;
    if (c == 94 || c == 0x2191) return 30;
    if (c == 95 || c == 0x2190) return 31;
    if (c >= 32 && c <= 63) return int(c);
    return -1;
}

int CharToUpperScreenCode(unsigned int c) {
    return CharToScreenCode(c >= 'A' && c <= 'Z' ? c + 32 : c);
}

std::string CharsetSlotProblem(const Machine& m, int slot) {
    if (unsigned(slot) > 7) return "Invalid charset position";
    // The same test as Machine::charsetIsRom for the slots at $1000 and $1800.
    if ((slot == 2 || slot == 3) && (m.bank == 0 || m.bank == 2))
        return "The VIC sees the character ROM there";
    const int screen = m.screenAddr();
    const int start = m.bankBase() + slot * 2048;
    if (screen + 1000 > start && screen < start + 2048) return "It overlaps the video matrix";
    // A set written there would be overwritten by (and overwrite) the cell colours.
    if (Machine::colorRamAddr + 1000 > start && Machine::colorRamAddr < start + 2048)
        return "It overlaps the color RAM";
    return "";
}
