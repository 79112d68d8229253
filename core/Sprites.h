#pragma once
#include <string>

#include "core/Machine.h"
#include "core/Types.h"
#include "core/UndoBuffer.h"

// Sprite blocks of the current VIC bank and the commands of the sprite
// windows. A block is 64 bytes: 21 rows of 3 bytes (leftmost pixel in bit 7
// of a row's first byte) and one spare byte. Every command keeps to the 64
// bytes of its block and takes an undo step only when it changes something.
namespace Sprites {

constexpr int BlockSize = 64;

// Bank base + (block & $FF) * 64; the last block of bank 3 is $FFC0.
int blockAddress(const Machine& m, int block);
// The first sprite 0-7 whose pointer is the block, -1 when none shows it.
int firstUser(const Machine& m, int block);
// Multicolour when the first sprite that shows the block has its $D01C bit set.
bool blockIsMulticolor(const Machine& m, int block);
// Smallest and largest of the eight sprite pointers.
void pointerRange(const Machine& m, int& lowest, int& highest);

// The pure block transforms, on 64 bytes.
void flip(u8* block);                     // rows r and 20 - r swap; byte 63 stays
void mirror(u8* block, bool multicolor);  // each row reversed; multicolour pairs stay whole
void invert(u8* block);                   // all 64 bytes
// Sets (or, erasing, clears) pixel (x 0-23, y 0-20); multicolour pens 1-3
// write the pair 01, 10 or 11 over the pair the pixel lies in.
void paint(u8* block, int x, int y, bool multicolor, bool erasing, int pen);

enum class Edit { Cut, Copy, Paste, Clear, Invert, Flip, Mirror };
// The sprite editor's Edit menu on one block; clip is the 64-byte clipboard.
// Returns whether an undo step was taken.
bool edit(Machine& m, UndoBuffer& u, int block, Edit op, u8* clip);

// A paint stroke: it keeps the block it began on and ends, painting nothing,
// once the block changes or undo, redo or another step ran since it began.
struct Stroke {
    bool active = false;
    bool erasing = false;
    int address = 0;
    u32 undoMark = 0;
};
void beginStroke(Stroke& s, Machine& m, UndoBuffer& u, int block, bool erasing);
// Paints one pixel of the stroke; false (and the stroke ends) when it may not.
bool strokeTo(Stroke& s, Machine& m, const UndoBuffer& u, int block, bool multicolor, int pen, int x, int y);

// Sprite n's pointer := value (0-255); sprite outside 0-7 or value outside 0-255 is refused.
bool setPointer(Machine& m, UndoBuffer& u, int sprite, int value);
// Sprite n shows the block in the given colour and mode.
bool assign(Machine& m, UndoBuffer& u, int sprite, int block, int color, bool multicolor);
// Sets or clears the $D01C bit of every sprite that shows the block.
bool setMulticolor(Machine& m, UndoBuffer& u, int block, bool on);
// A click on the sprite editor's palette: right sets the background, left the
// colour of the pen (the sprite colour goes to spriteColor and to every
// sprite that shows the block).
bool pickColor(Machine& m, UndoBuffer& u, int block, int pen, int& spriteColor, int color, bool right);
// Zeroes the blocks of the eight sprites.
bool clearAll(Machine& m, UndoBuffer& u);

// "%d sprite%s, $%04X-$%04X" for the blocks first..last of the current bank.
std::string rangeText(const Machine& m, int first, int last);

}  // namespace Sprites
