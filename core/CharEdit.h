#pragma once
#include <string>

#include "core/Editor.h"
#include "core/Types.h"

// One 8x8 character as its 8 pattern bytes, row 0 first; pixel column 0 is bit 7.
// The transforms touch these 8 bytes only.
namespace CharEdit {

void invert(u8 rows[8]);
// Upside down.
void flip(u8 rows[8]);
// Left-right: bits in hires, bit pairs (kept whole) in multicolour.
void mirror(u8 rows[8], bool multicolor);

// The row byte after painting pixel column 0-7 (clamped): hires sets the bit
// or clears it when erasing; multicolour clears the pair holding the column
// and then sets pen 1 (01), 2 (10) or 3 (11); erasing leaves 00.
u8 paint(u8 row, int column, bool multicolor, int pen, bool erasing);

// A paint stroke on one character: one undo step for the whole stroke, taken
// at its first change; another character or an undo or redo under it ends it.
struct Stroke {
    bool active = false;
    bool erasing = false;
    bool stepTaken = false;
    u16 address = 0;   // the character's first byte
    u32 undoMark = 0;  // the undo serial the stroke last saw
};
void beginStroke(Stroke& s, const UndoBuffer& u, u16 address, bool erasing);
// Paints pixel (column, row) of the character at address; false (and the
// stroke ends) when it may not.
bool strokeTo(Stroke& s, Machine& m, UndoBuffer& u, u16 address, bool multicolor, int pen, int column, int row);

// Writes the 8 bytes of the character at `address` with one undo range step
// named `name`; when nothing would change, nothing is written and no step taken.
// Returns whether the memory changed.
bool store(Editor& ed, u16 address, const u8 rows[8], const std::string& name);

// The drawing colour a palette pick gives while "Multi" is shown: in
// multicolour text mode a cell is multicolour only with colour RAM 8-15, so
// the pick keeps its low three bits and sets bit 3; other modes keep all 16.
int multiPen(const Machine& m, int picked);

// Types the character `code` at the text cursor as the keyboard does, as one
// undo step "text" of its own.
void typeFromCharset(Editor& ed, u8 code);

// Fills the RAM character set the VIC sees with the 2048 bytes at `from`, or
// with zeros when it is null, as one charset undo step `name`. Refused (false)
// while the VIC sees the character ROM.
bool fillSet(Editor& ed, const u8* from, const std::string& name);

}  // namespace CharEdit

// VIC layout changes from the menus; each takes one undo step of the VIC
// registers, none when the choice is the current one, and ends pending edits
// first. They return whether anything changed.
namespace BankSelect {

bool vicBank(Editor& ed, int bank);                 // 0-3, "change bank"
bool charBank(Editor& ed, bool second);             // $D018 bit 1, "change bank"
bool charsetSlot(Editor& ed, int slot);             // 0-7, "change charset"
bool multicolor(Editor& ed, bool on);               // $D016 bit 4, "multicolor"
bool setRegister(Editor& ed, int reg, int value, const std::string& name);  // $D000 + reg
bool gfxMode(Editor& ed, int mode);                  // a GfxMode, "gfx mode change"
// Ctrl+Shift in the text tool: the other half of the character set ($D018
// bit 1), with no undo step; pending edits end first, under the old half.
void flipCharsetHalf(Editor& ed);

}  // namespace BankSelect
