#include "cpu/Monitor.h"

#include <cstring>

#include "core/ScreenCodes.h"
#include "cpu/CPU6502.h"

namespace {

constexpr int Cols = 40;
constexpr int Rows = 25;
constexpr u8 Blank = 32;

}  // namespace

Monitor::Monitor(Machine& m, CPU6502& c) : machine(m), cpu(c), screen(m.monitorScreen) {
    std::memset(screen, Blank, Cols * Rows);
    print("VORLIX MONITOR - ? FOR HELP\n.");
}

void Monitor::clear() {
    std::memset(screen, Blank, Cols * Rows);
    col = 0;
    row = 0;
}

void Monitor::scrollUp() {
    std::memmove(screen, screen + Cols, Cols * (Rows - 1));
    std::memset(screen + Cols * (Rows - 1), Blank, Cols);
}

void Monitor::scrollDown() {
    std::memmove(screen + Cols, screen, Cols * (Rows - 1));
    std::memset(screen, Blank, Cols);
}

void Monitor::newLine() {
    col = 0;
    if (++row > Rows - 1) {
        scrollUp();
        row = Rows - 1;
    }
}

void Monitor::advance() {
    if (++col > Cols - 1) newLine();
}

void Monitor::putChar(char c) {
    if (c == '\n') {
        newLine();
        return;
    }
    // Only letters and "@" differ from their ASCII bytes; every other byte is stored as it is.
    int code = CharToUpperScreenCode(u8(c));
    screen[row * Cols + col] = code >= 0 && code <= 26 ? u8(code) : u8(c);
    advance();
}

void Monitor::print(const std::string& text) {
    for (char c : text) putChar(c);
}

std::string Monitor::rowText(int r) const {
    std::string t(Cols, ' ');
    if (r < 0 || r >= Rows) return t;
    for (int c = 0; c < Cols; ++c) {
        int code = screen[r * Cols + c] & 0x7F;
        if (code == 0) t[c] = '@';
        else if (code <= 26) t[c] = char('A' + code - 1);
        else if (code >= 32 && code <= 63) t[c] = char(code);
        else t[c] = '~';
    }
    return t;
}

void Monitor::typeChar(u8 code) {
    if (listing) {
        listing = false;
        return;
    }
    screen[row * Cols + col] = code;
    advance();
}

void Monitor::backRow() {
    u8* r = screen + row * Cols;
    std::memmove(r + col, r + col + 1, Cols - 1 - col);
    r[Cols - 1] = Blank;
}

void Monitor::pushRow() {
    u8* r = screen + row * Cols;
    std::memmove(r + col + 1, r + col, Cols - 1 - col);
    r[col] = Blank;
}

void Monitor::enter() {
    if (!executeRow()) newLine();
}

void Monitor::editKey(EditKey key, bool shift) {
    if (listing) {
        listing = false;
        return;
    }
    switch (key) {
    case EditKey::Insert: pushRow(); break;
    case EditKey::Delete: backRow(); break;
    case EditKey::Backspace:
        if (col == 0) {
            col = Cols - 1;
            if (row > 0) --row;
        } else {
            --col;
            backRow();
        }
        break;
    case EditKey::Up:
        if (row > 0) --row;
        else smartUp();
        break;
    case EditKey::Down:
        if (row < Rows - 1) ++row;
        else smartDown();
        break;
    case EditKey::Left:
        col = col > 0 ? col - 1 : Cols - 1;
        break;
    case EditKey::Right: advance(); break;
    case EditKey::Return: enter(); break;
    case EditKey::Home:
        if (shift) std::memset(screen, Blank, Cols * Rows);
        col = 0;
        row = 0;
        break;
    }
}

void Monitor::listLine(ListMode mode) {
    if (mode == ListMode::Disassembly) disBody();
    else if (mode == ListMode::Memory) memBody();
    else asciiBody();
}

int Monitor::listedAddress(int r) const {
    const std::string text = rowText(r);
    bool match = listMode == ListMode::Disassembly
                     ? text.compare(0, 2, ".A") == 0 || text.compare(0, 2, ".>") == 0
                     : text.compare(0, 2, listMode == ListMode::Memory ? ".:" : ".,") == 0;
    size_t pos = 2;
    // A prefix without a number after it is no match either.
    return match ? getHex(4, text, pos) : -1;
}

void Monitor::smartUp() {
    if (!listModeValid()) return;
    int addr = listedAddress(0);
    if (addr >= 0) topAddr = addr;
    scrollDown();
    if (listMode == ListMode::Disassembly) topAddr = cpu.backStep(u16(topAddr));
    else topAddr = (topAddr - (listMode == ListMode::Memory ? 8 : 32)) & 0xFFFF;
    nextAddr = topAddr;
    endAddr = -1;
    row = 0;
    col = 0;
    listLine(listMode);
    row = 0;
    col = 7;
}

void Monitor::smartDown() {
    if (!listModeValid()) {
        scrollUp();
        return;
    }
    int addr = listedAddress(Rows - 1);
    if (addr >= 0) {
        int len = 32;
        if (listMode == ListMode::Memory) len = 8;
        else if (listMode == ListMode::Disassembly) cpu.disassembleInstr(u16(addr), &len);
        nextAddr = (addr + len) & 0xFFFF;
    }
    endAddr = -1;
    row = Rows - 1;
    newLine();
    listLine(listMode);
}
