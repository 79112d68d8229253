#include "core/Sprites.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace Sprites {

namespace {

// Bit n set for every sprite n that shows the block.
int usersMask(const Machine& m, int block) {
    const int pointers = m.spritePointerAddr();
    int mask = 0;
    for (int n = 0; n < 8; ++n)
        if (m.ram[u16(pointers + n)] == (block & 0xFF)) mask |= 1 << n;
    return mask;
}

u32 rowBits(const u8* row) { return u32(row[0]) << 16 | u32(row[1]) << 8 | row[2]; }

void setRow(u8* row, u32 bits) {
    row[0] = u8(bits >> 16);
    row[1] = u8(bits >> 8);
    row[2] = u8(bits);
}

}  // namespace

int blockAddress(const Machine& m, int block) { return m.bankBase() + (block & 0xFF) * BlockSize; }

int firstUser(const Machine& m, int block) {
    const int mask = usersMask(m, block);
    for (int n = 0; n < 8; ++n)
        if (mask & (1 << n)) return n;
    return -1;
}

bool blockIsMulticolor(const Machine& m, int block) {
    const int n = firstUser(m, block);
    return n >= 0 && (m.vic[VicReg::SpriteMulticolor] >> n & 1);
}

void pointerRange(const Machine& m, int& lowest, int& highest) {
    const u8* p = m.ram + m.spritePointerAddr();
    lowest = *std::min_element(p, p + 8);
    highest = *std::max_element(p, p + 8);
}

void flip(u8* block) {
    for (int r = 0; r < 10; ++r)
        for (int i = 0; i < 3; ++i) std::swap(block[r * 3 + i], block[(20 - r) * 3 + i]);
}

void mirror(u8* block, bool multicolor) {
    const int step = multicolor ? 2 : 1;
    const u32 unit = multicolor ? 3 : 1;
    for (int r = 0; r < 21; ++r) {
        const u32 bits = rowBits(block + r * 3);
        u32 out = 0;
        for (int i = 0; i < 24; i += step) out |= ((bits >> i) & unit) << (24 - step - i);
        setRow(block + r * 3, out);
    }
}

void invert(u8* block) {
    for (int i = 0; i < BlockSize; ++i) block[i] ^= 0xFF;
}

void paint(u8* block, int x, int y, bool multicolor, bool erasing, int pen) {
    x = std::clamp(x, 0, 23);
    y = std::clamp(y, 0, 20);
    u8& b = block[y * 3 + x / 8];
    if (!multicolor) {
        const u8 bit = u8(0x80 >> (x & 7));
        b = erasing ? u8(b & ~bit) : u8(b | bit);
        return;
    }
    const int shift = 6 - (x & 6);  // the pair's low bit
    b &= u8(~(3 << shift));
    if (!erasing) b |= u8(std::clamp(pen, 1, 3) << shift);
}

bool edit(Machine& m, UndoBuffer& u, int block, Edit op, u8* clip) {
    const int a = blockAddress(m, block);
    u8* bytes = m.ram + a;
    u8 next[BlockSize];
    std::memcpy(next, bytes, BlockSize);
    const char* name = "";
    switch (op) {
    case Edit::Copy: std::memcpy(clip, bytes, BlockSize); return false;
    case Edit::Cut:
        std::memcpy(clip, bytes, BlockSize);
        std::memset(next, 0, BlockSize);
        name = "cut sprite";
        break;
    case Edit::Paste:
        std::memcpy(next, clip, BlockSize);
        name = "paste sprite";
        break;
    case Edit::Clear:
        std::memset(next, 0, BlockSize);
        name = "clear sprite";
        break;
    case Edit::Invert:
        invert(next);
        name = "invert sprite";
        break;
    case Edit::Flip:
        flip(next);
        name = "flip sprite";
        break;
    case Edit::Mirror:
        mirror(next, blockIsMulticolor(m, block));
        name = "mirror sprite";
        break;
    }
    if (std::memcmp(next, bytes, BlockSize) == 0) return false;
    u.TakeUndoRange(a, BlockSize, name);
    std::memcpy(bytes, next, BlockSize);
    return true;
}

void beginStroke(Stroke& s, Machine& m, UndoBuffer& u, int block, bool erasing) {
    s.address = blockAddress(m, block);
    s.erasing = erasing;
    u.TakeUndoRange(s.address, BlockSize, "Edit sprite");
    s.undoMark = u.serial;
    s.active = true;
}

bool strokeTo(Stroke& s, Machine& m, const UndoBuffer& u, int block, bool multicolor, int pen, int x, int y) {
    if (s.active && (blockAddress(m, block) != s.address || u.serial != s.undoMark)) s.active = false;
    if (!s.active) return false;
    paint(m.ram + s.address, x, y, multicolor, s.erasing, pen);
    return true;
}

bool setPointer(Machine& m, UndoBuffer& u, int sprite, int value) {
    if (sprite < 0 || sprite > 7 || value < 0 || value > 0xFF) return false;
    const u16 a = u16(m.spritePointerAddr() + sprite);
    if (m.ram[a] == value) return false;
    u.TakeUndo(UndoBuffer::KindSprites, "Sprite pointer change");
    m.ram[a] = u8(value);
    return true;
}

bool assign(Machine& m, UndoBuffer& u, int sprite, int block, int color, bool multicolor) {
    if (sprite < 0 || sprite > 7) return false;
    const u16 a = u16(m.spritePointerAddr() + sprite);
    const u8 bit = u8(1 << sprite);
    const u8 flags =
        multicolor ? u8(m.vic[VicReg::SpriteMulticolor] | bit) : u8(m.vic[VicReg::SpriteMulticolor] & ~bit);
    if (m.ram[a] == (block & 0xFF) && m.vic[VicReg::SpriteColor0 + sprite] == (color & 15) &&
        m.vic[VicReg::SpriteMulticolor] == flags)
        return false;
    u.TakeUndo(UndoBuffer::KindSprites, "Sprite pointer change");
    m.ram[a] = u8(block);
    m.vic[VicReg::SpriteColor0 + sprite] = u8(color & 15);
    m.vic[VicReg::SpriteMulticolor] = flags;
    return true;
}

bool setMulticolor(Machine& m, UndoBuffer& u, int block, bool on) {
    const int mask = usersMask(m, block);
    const u8 flags = on ? u8(m.vic[VicReg::SpriteMulticolor] | mask) : u8(m.vic[VicReg::SpriteMulticolor] & ~mask);
    if (flags == m.vic[VicReg::SpriteMulticolor]) return false;
    u.TakeUndo(UndoBuffer::KindVic, "sprite multicolor");
    m.vic[VicReg::SpriteMulticolor] = flags;
    return true;
}

bool pickColor(Machine& m, UndoBuffer& u, int block, int pen, int& spriteColor, int color, bool right) {
    color &= 15;
    const bool multicolor = blockIsMulticolor(m, block);
    u8 vic[sizeof m.vic];
    std::memcpy(vic, m.vic, sizeof vic);
    if (right) {
        vic[VicReg::Background0] = u8(color);
    } else if (multicolor && pen == 1) {
        vic[VicReg::SpriteMulticolor0] = u8(color);
    } else if (multicolor && pen == 3) {
        vic[VicReg::SpriteMulticolor1] = u8(color);
    } else {
        spriteColor = color;
        const int mask = usersMask(m, block);
        for (int n = 0; n < 8; ++n)
            if (mask & (1 << n)) vic[VicReg::SpriteColor0 + n] = u8(color);
    }
    if (std::memcmp(vic, m.vic, sizeof vic) == 0) return false;
    u.TakeUndo(UndoBuffer::KindVic, "sprite color");
    std::memcpy(m.vic, vic, sizeof vic);
    return true;
}

bool clearAll(Machine& m, UndoBuffer& u) {
    bool any = false;
    for (int n = 0; n < 8 && !any; ++n) {
        const u8* b = m.ram + m.spriteDataAddr(n);
        any = std::any_of(b, b + BlockSize, [](u8 v) { return v != 0; });
    }
    if (!any) return false;
    u.TakeUndo(UndoBuffer::KindSprites, "clear all sprites");
    for (int n = 0; n < 8; ++n) std::memset(m.ram + m.spriteDataAddr(n), 0, BlockSize);
    return true;
}

std::string rangeText(const Machine& m, int first, int last) {
    first = std::clamp(first, 0, 255);
    last = std::clamp(last, first, 255);
    const int count = last - first + 1;
    const int start = blockAddress(m, first);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d sprite%s, $%04X-$%04X", count, count == 1 ? "" : "s", start,
                  start + count * BlockSize - 1);
    return buf;
}

}  // namespace Sprites
