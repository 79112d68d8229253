#include "core/CharEdit.h"

#include <algorithm>
#include <cstring>

namespace CharEdit {

void invert(u8 rows[8]) {
    for (int i = 0; i < 8; ++i) rows[i] = u8(~rows[i]);
}

void flip(u8 rows[8]) { std::reverse(rows, rows + 8); }

void mirror(u8 rows[8], bool multicolor) {
    for (int i = 0; i < 8; ++i) {
        unsigned b = rows[i], r = 0;
        if (multicolor)
            r = (b >> 6 & 0x03) | (b >> 2 & 0x0C) | (b << 2 & 0x30) | (b << 6 & 0xC0);
        else
            for (int k = 0; k < 8; ++k) r |= ((b >> k) & 1) << (7 - k);
        rows[i] = u8(r);
    }
}

u8 paint(u8 row, int column, bool multicolor, int pen, bool erasing) {
    column = std::clamp(column, 0, 7);
    if (!multicolor) {
        u8 bit = u8(0x80 >> column);
        return erasing ? u8(row & ~bit) : u8(row | bit);
    }
    int shift = 6 - (column & 6);  // the pair's low bit
    row = u8(row & ~(3 << shift));
    if (erasing) return row;
    return u8(row | ((std::clamp(pen, 1, 3) & 3) << shift));
}

void beginStroke(Stroke& s, const UndoBuffer& u, u16 address, bool erasing) {
    s.active = true;
    s.erasing = erasing;
    s.stepTaken = false;
    s.address = address;
    s.undoMark = u.serial;
}

bool strokeTo(Stroke& s, Machine& m, UndoBuffer& u, u16 address, bool multicolor, int pen, int column, int row) {
    // The rest would paint without an undo step, or into a character not clicked.
    if (s.active && (address != s.address || u.serial != s.undoMark)) s.active = false;
    if (!s.active) return false;
    u8& at = m.ram[u16(s.address + std::clamp(row, 0, 7))];
    const u8 next = paint(at, column, multicolor, pen, s.erasing);
    if (next != at) {
        if (!s.stepTaken) u.TakeUndoRange(s.address, 8, "edit character");
        s.stepTaken = true;
        at = next;
    }
    s.undoMark = u.serial;
    return true;
}

bool fillSet(Editor& ed, const u8* from, const std::string& name) {
    Machine& m = ed.machine;
    if (m.charsetIsRom()) return false;
    ed.undo.TakeUndo(UndoBuffer::KindCharset, name);
    for (int i = 0; i < 2048; ++i) m.ram[u16(m.charsetAddr() + i)] = from ? from[i] : 0;
    return true;
}

bool store(Editor& ed, u16 address, const u8 rows[8], const std::string& name) {
    u8* at = ed.machine.ram + address;
    // A character starts on an 8-byte boundary, so its bytes never wrap.
    if (address > 0x10000 - 8 || std::memcmp(at, rows, 8) == 0) return false;
    ed.undo.TakeUndoRange(address, 8, name);
    std::memcpy(at, rows, 8);
    return true;
}

int multiPen(const Machine& m, int picked) {
    picked &= 15;
    return m.gfxMode() == GfxMode::MulticolorText ? ((picked & 7) | 8) : picked;
}

void typeFromCharset(Editor& ed, u8 code) {
    ed.undo.TakeScreenUndo("text");
    // The typing must not take a second step; the keyboard's own typing state comes back after.
    bool pending = ed.textUndoPending;
    u32 step = ed.textStep;
    ed.textUndoPending = false;
    ed.textStep = ed.undo.serial;
    const auto tool = ed.tool;
    ed.tool = Editor::ToolText;
    ed.typeChar(code);
    ed.textUndoPending = pending;
    ed.textStep = step;
    ed.tool = tool;
}

}  // namespace CharEdit

namespace BankSelect {

namespace {

bool change(Editor& ed, const std::string& name, bool differs, void (*apply)(Machine&, int), int arg) {
    if (!differs) return false;
    ed.undo.TakeUndo(UndoBuffer::KindVic, name);
    apply(ed.machine, arg);
    return true;
}

}  // namespace

bool vicBank(Editor& ed, int bank) {
    if (bank < 0 || bank > 3) return false;
    return change(ed, "change bank", ed.machine.bank != bank, [](Machine& m, int b) { m.bank = u16(b); }, bank);
}

bool charBank(Editor& ed, bool second) {
    bool now = (ed.machine.vic[VicReg::MemoryPointers] & 0x02) != 0;
    return change(
        ed, "change bank", now != second,
        [](Machine& m, int s) {
            m.vic[VicReg::MemoryPointers] =
                u8(s ? (m.vic[VicReg::MemoryPointers] | 0x02) : (m.vic[VicReg::MemoryPointers] & ~0x02));
        },
        second);
}

bool charsetSlot(Editor& ed, int slot) {
    if (slot < 0 || slot > 7) return false;
    return change(
        ed, "change charset", ((ed.machine.vic[VicReg::MemoryPointers] >> 1) & 7) != slot,
        [](Machine& m, int s) { m.vic[VicReg::MemoryPointers] = u8((m.vic[VicReg::MemoryPointers] & 0xF1) | (s * 2)); },
        slot);
}

bool multicolor(Editor& ed, bool on) {
    bool now = (ed.machine.vic[VicReg::Control2] & VicReg::Control2Mcm) != 0;
    return change(ed, "multicolor", now != on,
                  [](Machine& m, int o) {
                      if (o) {
                          m.vic[VicReg::Control2] |= VicReg::Control2Mcm;
                          m.pen = CharEdit::multiPen(m, m.pen);
                      } else {
                          m.vic[VicReg::Control2] &= u8(~VicReg::Control2Mcm);
                      }
                  },
                  on);
}

bool gfxMode(Editor& ed, int mode) {
    if (mode < 0 || mode >= GfxMode::count) return false;
    return change(ed, "gfx mode change", ed.machine.gfxMode() != mode, [](Machine& m, int n) { m.setGfxMode(n); },
                  mode);
}

bool setRegister(Editor& ed, int reg, int value, const std::string& name) {
    if (reg < 0 || reg >= VicReg::count) return false;
    u8 v = u8(value);
    if (ed.machine.vic[reg] == v) return false;
    ed.undo.TakeUndo(UndoBuffer::KindVic, name);
    ed.machine.vic[reg] = v;
    return true;
}

void flipCharsetHalf(Editor& ed) {
    ed.write().vic[VicReg::MemoryPointers] ^= 2;
}

}  // namespace BankSelect
