#include "core/Editor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void Editor::_PokeCharNormal(unsigned char code) {
    Machine& m = write();
    int cell = cursorRow * 40 + cursorCol;
    m.ram[u16(m.screenAddr() + cell)] = code;
    m.ram[Machine::colorRamAddr + cell] = u8(m.pen);
}

void Editor::_PokeCharBitmap(unsigned char code) {
    Machine& m = write();
    const u8* pattern = m.charRom + ((m.vic[VicReg::MemoryPointers] & 2) ? 0x800 : 0) + code * 8;
    u16 at = u16(m.bitmapAddr() + cursorRow * 320 + cursorCol * 8);
    for (int i = 0; i < 8; ++i) m.ram[u16(at + i)] = pattern[i];
    m.ram[u16(m.screenAddr() + cursorRow * 40 + cursorCol)] = u8((m.pen << 4) | (m.vic[VicReg::Background0] & 15));
}

void Editor::_PushRow() {
    Machine& m = write();
    u8* screen = m.ram + m.screenAddr() + cursorRow * 40;
    u8* colour = m.ram + Machine::colorRamAddr + cursorRow * 40;
    for (int c = 39; c > cursorCol; --c) {
        screen[c] = screen[c - 1];
        colour[c] = colour[c - 1];
    }
}

void Editor::_BackRow() {
    Machine& m = write();
    u8* screen = m.ram + m.screenAddr() + cursorRow * 40;
    u8* colour = m.ram + Machine::colorRamAddr + cursorRow * 40;
    for (int c = cursorCol; c < 39; ++c) {
        screen[c] = screen[c + 1];
        colour[c] = colour[c + 1];
    }
    screen[39] = 0x20;
}

void Editor::_AdvanceCursor() {
    if (++cursorCol > 39) {
        cursorCol = 0;
        if (++cursorRow > 24) cursorRow = 0;
    }
}

void Editor::typeChar(unsigned char code) {
    // The cursor may have been set from outside.
    cursorCol = std::clamp(cursorCol, 0, 39);
    cursorRow = std::clamp(cursorRow, 0, 24);
    _TextUndo();
    const bool bm = machine.bitmapMode();
    if (insert && !bm && cursorCol < 39) _PushRow();
    if (bm)
        _PokeCharBitmap(code);
    else
        _PokeCharNormal(code);
    _AdvanceCursor();
}

void Editor::editKey(EditKey key, bool withShift) {
    cursorCol = std::clamp(cursorCol, 0, 39);
    cursorRow = std::clamp(cursorRow, 0, 24);
    auto up = [&] { cursorRow = cursorRow == 0 ? 24 : cursorRow - 1; };
    auto down = [&] { cursorRow = cursorRow == 24 ? 0 : cursorRow + 1; };
    auto left = [&] { cursorCol = cursorCol == 0 ? 39 : cursorCol - 1; };
    auto right = [&] { cursorCol = cursorCol == 39 ? 0 : cursorCol + 1; };
    auto del = [&] {
        // In a bitmap mode Delete changes nothing, so it records nothing either.
        if (machine.bitmapMode()) return;
        _TextUndo();
        _BackRow();
    };
    switch (key) {
    case EditKey::Insert: insert = !insert; break;
    case EditKey::Delete: del(); break;
    case EditKey::Backspace:
        if (cursorCol == 0) {
            cursorCol = 39;
            if (cursorRow > 0) --cursorRow;
            break;
        }
        --cursorCol;
        del();
        break;
    case EditKey::Up: withShift ? down() : up(); break;
    case EditKey::Down: withShift ? up() : down(); break;
    case EditKey::Left: withShift ? right() : left(); break;
    case EditKey::Right: withShift ? left() : right(); break;
    case EditKey::Return:
        cursorCol = 0;
        down();
        break;
    case EditKey::Home:
        cursorCol = 0;
        if (withShift) cursorRow = 0;
        break;
    default: break;
    }
}

void Editor::copyChar() {
    const Machine& m = machine;
    int cell = std::clamp(cursorRow, 0, 24) * 40 + std::clamp(cursorCol, 0, 39);
    if (m.bitmapMode()) {
        u16 at = u16(m.bitmapAddr() + (cell / 40) * 320 + (cell % 40) * 8);
        for (int i = 0; i < 8; ++i) charClip[i] = m.ram[u16(at + i)];
    }
    charClipCode = m.ram[u16(m.screenAddr() + cell)];
    charClipColour = m.ram[Machine::colorRamAddr + cell];
}

void Editor::pasteChar() {
    Machine& m = machine;
    undo.TakeScreenUndo("paste");
    int cell = std::clamp(cursorRow, 0, 24) * 40 + std::clamp(cursorCol, 0, 39);
    if (m.bitmapMode()) {
        u16 at = u16(m.bitmapAddr() + (cell / 40) * 320 + (cell % 40) * 8);
        for (int i = 0; i < 8; ++i) m.ram[u16(at + i)] = charClip[i];
    }
    m.ram[u16(m.screenAddr() + cell)] = charClipCode;
    m.ram[Machine::colorRamAddr + cell] = charClipColour;
}

void Editor::clearScreen(ClearMode mode, int value) {
    if (int(mode) < int(ClearMode::Background) || int(mode) > int(ClearMode::Value)) return;
    Machine& m = machine;
    undo.TakeScreenUndo("clear");
    const u8 v = u8(value);
    const u8 fill = mode == ClearMode::Ones ? 0xFF : mode == ClearMode::Value ? v : 0x00;
    const u16 screen = m.screenAddr();
    if (!m.bitmapMode()) {
        std::memset(m.ram + screen, mode == ClearMode::Background ? 0x20 : fill, 1000);
        std::memset(m.ram + Machine::colorRamAddr, fill, 1000);
    } else {
        u8 screenFill = mode == ClearMode::Background ? u8((m.pen << 4) | (m.vic[VicReg::Background0] & 15)) : fill;
        std::memset(m.ram + screen, screenFill, 1000);
        std::memset(m.ram + m.bitmapAddr(), fill, 8192);
        if (m.vic[VicReg::Control2] & VicReg::Control2Mcm) std::memset(m.ram + Machine::colorRamAddr, fill, 1000);
    }
    cursorCol = 0;
    cursorRow = 0;
}

std::string Editor::clearDescription() const {
    const Machine& m = machine;
    char line[96];
    std::string text = "This will erase:\n";
    std::snprintf(line, sizeof line, "Videomem at $%04X - $%04X (1000 bytes)\n", m.screenAddr(), m.screenAddr() + 999);
    text += line;
    const bool bm = m.bitmapMode();
    if (bm) {
        std::snprintf(line, sizeof line, "Bitmapmem at $%04X - $%04X (8192 bytes)\n", m.bitmapAddr(),
                      m.bitmapAddr() + 8191);
        text += line;
    }
    if (!bm || (m.vic[VicReg::Control2] & VicReg::Control2Mcm)) text += "Colormem at $D800 - $DBE7 (1000 bytes)\n";
    return text;
}

void Editor::cellColors(int x, int y, int* out) const {
    const Machine& m = machine;
    x = std::clamp(x, 0, 319);
    y = std::clamp(y, 0, 199);
    int cell = (y >> 3) * 40 + (x >> 3);
    int s = m.ram[u16(m.screenAddr() + cell)];
    int k = m.ram[Machine::colorRamAddr + cell] & 15;
    const bool bm = m.bitmapMode(), multi = m.vic[VicReg::Control2] & VicReg::Control2Mcm,
               ecm = m.vic[VicReg::Control1] & VicReg::Control1Ecm;
    if (bm) {
        out[0] = multi ? (m.vic[VicReg::Background0] & 15) : -1;
        out[1] = s >> 4;
        out[2] = s & 15;
        out[3] = multi ? k : -1;
        return;
    }
    out[0] = (ecm ? m.vic[VicReg::Background0 + (s >> 6)] : m.vic[VicReg::Background0]) & 15;
    out[1] = multi ? (m.vic[VicReg::Background1] & 15) : -1;
    out[2] = multi ? (m.vic[VicReg::Background2] & 15) : -1;
    out[3] = k;
}

void Editor::setCellColor(int slot, int x, int y, int colour) {
    if (slot < 0 || slot > 3) return;
    Machine& m = write();
    x = std::clamp(x, 0, 319);
    y = std::clamp(y, 0, 199);
    int cell = (y >> 3) * 40 + (x >> 3);
    u8& s = m.ram[u16(m.screenAddr() + cell)];
    const u8 c = u8(colour & 15);
    const bool bm = m.bitmapMode(), multi = m.vic[VicReg::Control2] & VicReg::Control2Mcm,
               ecm = m.vic[VicReg::Control1] & VicReg::Control1Ecm;
    switch (slot) {
    case 0:
        if (ecm && !bm)
            m.vic[VicReg::Background0 + (s >> 6)] = c;
        else
            m.vic[VicReg::Background0] = c;
        break;
    case 1:
        if (bm)
            s = u8((c << 4) | (s & 15));
        else if (multi)
            m.vic[VicReg::Background1] = c;
        break;
    case 2:
        if (bm)
            s = u8((s & 0xF0) | c);
        else if (multi)
            m.vic[VicReg::Background2] = c;
        break;
    case 3: m.ram[Machine::colorRamAddr + cell] = c; break;
    default: break;
    }
}

void Editor::setCellColors(int x, int y, const int colours[4]) {
    undo.TakeScreenUndo("color change");
    undo.TakeUndo(UndoBuffer::KindVic, "color change");
    undo.MergeLast();
    for (int slot = 0; slot < 4; ++slot)
        if (colours[slot] >= 0) setCellColor(slot, x, y, colours[slot]);
}

void Editor::cycleCellColor(int slot, int x, int y, int step) {
    if (slot < 0 || slot > 3) return;
    int cols[4];
    cellColors(x, y, cols);
    if (cols[slot] < 0) return;
    int colours[4] = {-1, -1, -1, -1};
    colours[slot] = (cols[slot] + step) & 15;
    setCellColors(x, y, colours);
}
