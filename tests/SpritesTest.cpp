#include <algorithm>

#include "core/Sprites.h"
#include "tests/EditorTestSupport.h"

namespace {

using Sprites::Edit;

struct Fixture {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    UndoBuffer u{*m};
    // Bank 3, screen $C400: sprite 0 shows the last block of memory, $FFC0; sprite n > 0 block 10 + n.
    explicit Fixture(bool multicolor = false) {
        m->reset();
        m->bank = 3;
        m->vic[VicReg::MemoryPointers] = 0x10;
        for (int n = 0; n < 8; ++n) m->ram[0xC7F8 + n] = u8(n ? 10 + n : 0xFF);
        m->vic[VicReg::SpriteMulticolor] = multicolor;
        m->vic[VicReg::SpriteColor0] = 1;
        m->ram[0xFFBF] = 0x5A;
    }
    u8* block() { return m->ram + 0xFFC0; }
};

TEST(Sprites, EditMenuKeepsToTheBlock) {
    // The first row and the last with byte 63, before and after.
    const struct { Edit op; bool multicolor; std::vector<u8> row0, row20, want0, want20; const char* undoName; } rows[] = {
        {Edit::Mirror, false, {0xC0, 0x12, 0x01}, {0, 0, 0, 9}, {0x80, 0x48, 0x03}, {0, 0, 0, 9}, "mirror sprite"},
        // Pairs 00 01 10 11 keep their values and reverse their order.
        {Edit::Mirror, true, {0x1B, 0, 0}, {0, 0, 0, 9}, {0, 0, 0xE4}, {0, 0, 0, 9}, "mirror sprite"},
        {Edit::Flip, false, {1, 2, 3}, {4, 5, 6, 9}, {4, 5, 6}, {1, 2, 3, 9}, "flip sprite"},
        {Edit::Invert, false, {0, 0xFF, 0x0F}, {0, 0, 0, 9}, {0xFF, 0, 0xF0}, {0xFF, 0xFF, 0xFF, 0xF6}, "invert sprite"},
        {Edit::Cut, false, {1, 2, 3}, {4, 5, 6, 9}, {0, 0, 0}, {0, 0, 0, 0}, "cut sprite"},
        {Edit::Flip, false, {0, 0, 0}, {0, 0, 0, 7}, {0, 0, 0}, {0, 0, 0, 7}, ""},  // nothing to change
    };
    for (const auto& r : rows) {
        Fixture f(r.multicolor);
        std::fill(f.block(), f.block() + 64, 0);
        std::copy(r.row0.begin(), r.row0.end(), f.block());
        std::copy(r.row20.begin(), r.row20.end(), f.block() + 60);
        u8 clip[64] = {};
        Sprites::edit(*f.m, f.u, 0xFF, r.op, clip);
        SCOPED_TRACE(int(r.op));
        EXPECT_EQ(std::vector<u8>(f.block(), f.block() + 3), r.want0);
        EXPECT_EQ(std::vector<u8>(f.block() + 60, f.block() + 64), r.want20);
        EXPECT_EQ(f.m->ram[0xFFBF], 0x5A);
        EXPECT_EQ(f.u.undoName(), r.undoName);
    }
}

TEST(Sprites, PaintSetsBitsAndWholePairs) {
    struct Row { bool multicolor, erasing; int pen, x, y, index; u8 before, after; } rows[] = {
        {false, false, 2, 0, 0, 0, 0x00, 0x80},   {false, true, 2, 9, 0, 1, 0xFF, 0xBF},
        {false, false, 2, 40, -3, 2, 0x00, 0x01},  {true, false, 1, 0, 0, 0, 0xC0, 0x40},
        {true, false, 2, 3, 0, 0, 0x00, 0x20},     {true, false, 3, 23, 20, 62, 0x00, 0x03},
        {true, true, 3, 7, 1, 3, 0xFF, 0xFC},
    };
    for (const auto& r : rows) {
        u8 block[64] = {};
        block[r.index] = r.before;
        Sprites::paint(block, r.x, r.y, r.multicolor, r.erasing, r.pen);
        block[r.index] ^= r.after;
        EXPECT_EQ(std::count(block, block + 64, 0), 64) << r.x << "," << r.y << (r.multicolor ? " mc" : "");
    }
}

// Paints pixel (0, 0) of block $FF, runs meanwhile, then paints (0, 1): whether that painted.
bool stroke(Fixture& f, const std::function<void()>& meanwhile) {
    Sprites::Stroke s;
    Sprites::beginStroke(s, *f.m, f.u, 0xFF, false);
    Sprites::strokeTo(s, *f.m, f.u, 0xFF, false, 2, 0, 0);
    meanwhile();
    u8* row1 = f.m->ram + Sprites::blockAddress(*f.m, 0xFF) + 3;
    u8 before = *row1;
    return Sprites::strokeTo(s, *f.m, f.u, 0xFF, false, 2, 0, 1) && *row1 != before;
}

TEST(Sprites, StepsOnlyForChangesAndStrokesEndWhenTheHistoryMoves) {
    struct Row { const char* name; std::function<bool(Fixture&)> run; bool changed; const char* undoName; } rows[] = {
        {"pointer", [](Fixture& f) { return Sprites::setPointer(*f.m, f.u, 1, 0x20); }, true, "Sprite pointer change"},
        {"same pointer", [](Fixture& f) { return Sprites::setPointer(*f.m, f.u, 1, 11); }, false, ""},
        {"pointer 256", [](Fixture& f) { return Sprites::setPointer(*f.m, f.u, 1, 256); }, false, ""},
        {"multicolor", [](Fixture& f) { return Sprites::setMulticolor(*f.m, f.u, 0xFF, true); }, true, "sprite multicolor"},
        {"multicolor unshown", [](Fixture& f) { return Sprites::setMulticolor(*f.m, f.u, 0x40, true); }, false, ""},
        {"pen of unshown block", [](Fixture& f) { int c = 1; return Sprites::pickColor(*f.m, f.u, 0x40, 2, c, 7, false) || c != 7; }, false, ""},
        {"background", [](Fixture& f) { int c = 1; return Sprites::pickColor(*f.m, f.u, 0x40, 1, c, 9, true); }, true, "sprite color"},
        {"assign as is", [](Fixture& f) { return Sprites::assign(*f.m, f.u, 0, 0xFF, 1, false); }, false, ""},
        // A stroke paints nothing once undo, redo or a block change ran under it.
        {"stroke", [](Fixture& f) { return stroke(f, [] {}); }, true, "Edit sprite"},
        {"stroke after undo", [](Fixture& f) { return stroke(f, [&] { f.u.MakeUndo(); }); }, false, ""},
        {"stroke after bank", [](Fixture& f) { return stroke(f, [&] { f.m->bank = 2; }); }, false, "Edit sprite"},
    };
    for (const auto& r : rows) {
        Fixture f;
        EXPECT_EQ(r.run(f), r.changed) << r.name;
        EXPECT_EQ(f.u.undoName(), r.undoName) << r.name;
    }
}

TEST(Sprites, SaveRangeText) {
    const struct { int bank, first, last; const char* text; } rows[] = {
        {3, 0, 255, "256 sprites, $C000-$FFFF"}, {0, 10, 8, "1 sprite, $0280-$02BF"},
        {1, 0, 3, "4 sprites, $4000-$40FF"}, {0, -5, 300, "256 sprites, $0000-$3FFF"}};
    for (const auto& r : rows) {
        Fixture f;
        f.m->bank = u16(r.bank);
        EXPECT_EQ(Sprites::rangeText(*f.m, r.first, r.last), r.text);
    }
}

// The character window's transforms touch the 8 bytes only; painting a column sets the bit, or
// in multicolour the whole pair, columns held to 0-7.
TEST(CharEdit, TransformsAndPaint) {
    const struct { void (*op)(u8*); u8 in[8], out[8]; } transforms[] = {
        {[](u8* r) { CharEdit::mirror(r, false); }, {0x80, 0x01, 0xC4, 0, 0, 0, 0, 0xFF}, {0x01, 0x80, 0x23, 0, 0, 0, 0, 0xFF}},
        {[](u8* r) { CharEdit::mirror(r, true); }, {0xC0, 0x40, 0x1B, 0, 0, 0, 0, 0x03}, {0x03, 0x01, 0xE4, 0, 0, 0, 0, 0xC0}},
        {[](u8* r) { CharEdit::flip(r); }, {0xFF, 0, 0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 0, 0, 0xFF}},
        {[](u8* r) { CharEdit::invert(r); }, {0xFF, 0, 0x5A, 0, 0, 0, 0, 1}, {0, 0xFF, 0xA5, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}},
    };
    for (const auto& t : transforms) {
        u8 buf[10] = {0xEE, 0, 0, 0, 0, 0, 0, 0, 0, 0xEE};
        std::memcpy(buf + 1, t.in, 8);
        t.op(buf + 1);
        EXPECT_EQ(Bytes(buf, buf + 10), Bytes({0xEE, t.out[0], t.out[1], t.out[2], t.out[3], t.out[4], t.out[5], t.out[6],
                                               t.out[7], 0xEE}));
    }
    const struct { u8 row; int column; bool multi; int pen; bool erase; u8 result; } paints[] = {
        {0x00, 0, false, 3, false, 0x80}, {0xFF, 7, false, 3, true, 0xFE}, {0x00, 9, false, 1, false, 0x01},
        {0x00, -2, false, 1, false, 0x80}, {0xC0, 1, true, 1, false, 0x40}, {0xC0, 0, true, 2, false, 0x80},
        {0x00, 7, true, 3, false, 0x03},  {0xFF, 3, true, 1, true, 0xCF},  {0x80, 6, true, 1, false, 0x81},
    };
    for (const auto& t : paints)
        EXPECT_EQ(CharEdit::paint(t.row, t.column, t.multi, t.pen, t.erase), t.result) << int(t.row) << " " << t.column;
}

}  // namespace
