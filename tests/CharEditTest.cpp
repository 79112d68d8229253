#include <cstring>
#include <vector>

#include "core/CharEdit.h"
#include "tests/EditorTestSupport.h"

namespace {

TEST(CharEdit, Transforms) {
    struct Case {
        void (*op)(u8*);
        u8 in[8], out[8];
    } cases[] = {
        {[](u8* r) { CharEdit::mirror(r, false); }, {0x80, 0x01, 0xC4, 0, 0, 0, 0, 0xFF}, {0x01, 0x80, 0x23, 0, 0, 0, 0, 0xFF}},
        {[](u8* r) { CharEdit::mirror(r, true); }, {0xC0, 0x40, 0x1B, 0, 0, 0, 0, 0x03}, {0x03, 0x01, 0xE4, 0, 0, 0, 0, 0xC0}},
        {[](u8* r) { CharEdit::flip(r); }, {0xFF, 0, 0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 0, 0, 0xFF}},
        {[](u8* r) { CharEdit::invert(r); }, {0xFF, 0, 0x5A, 0, 0, 0, 0, 1}, {0, 0xFF, 0xA5, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}},
    };
    for (const Case& t : cases) {
        u8 buf[10] = {0xEE, 0, 0, 0, 0, 0, 0, 0, 0, 0xEE};
        std::memcpy(buf + 1, t.in, 8);
        t.op(buf + 1);
        EXPECT_EQ(0, std::memcmp(buf + 1, t.out, 8));
        EXPECT_EQ(buf[0], 0xEE);
        EXPECT_EQ(buf[9], 0xEE);
    }
}

TEST(CharEdit, PaintPixel) {
    struct Case {
        u8 row;
        int column;
        bool multi;
        int pen;
        bool erase;
        u8 result;
    } cases[] = {
        {0x00, 0, false, 3, false, 0x80}, {0xFF, 7, false, 3, true, 0xFE}, {0x00, 9, false, 1, false, 0x01},
        {0x00, -2, false, 1, false, 0x80}, {0xC0, 1, true, 1, false, 0x40}, {0xC0, 0, true, 2, false, 0x80},
        {0x00, 7, true, 3, false, 0x03},  {0xFF, 3, true, 1, true, 0xCF},  {0x80, 6, true, 1, false, 0x81},
    };
    for (const Case& t : cases)
        EXPECT_EQ(CharEdit::paint(t.row, t.column, t.multi, t.pen, t.erase), t.result) << int(t.row) << " " << t.column;
}

using CharEditUndo = EditorFixture;

TEST_F(CharEditUndo, StepsOnlyWhenSomethingChanges) {
    u8 rows[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_TRUE(CharEdit::store(e, 0x3008, rows, "paste char"));
    EXPECT_FALSE(CharEdit::store(e, 0x3008, rows, "paste char"));
    EXPECT_EQ(u.undo.size(), 1u);
    u.MakeUndo();
    EXPECT_EQ(m->ram[0x3008], 0);

    // Bank and slot changes: one step each, none for the current choice, undone one by one.
    u.Clear();
    u16 bank0 = m->bank;
    u8 d018 = m->vic[0x18];
    bool second = d018 & 2;
    bool changed[] = {BankSelect::vicBank(e, bank0), BankSelect::vicBank(e, 4),        BankSelect::vicBank(e, 2),
                      BankSelect::charsetSlot(e, 4), BankSelect::charBank(e, !second), BankSelect::charBank(e, !second)};
    EXPECT_EQ(std::vector<bool>(changed, changed + 6), std::vector<bool>({false, false, true, true, true, false}));
    EXPECT_EQ(u.undoName(), "change bank");
    for (int i = 0; i < 3; ++i) u.MakeUndo();
    EXPECT_EQ(m->bank, bank0);
    EXPECT_EQ(m->vic[0x18], d018);
}

TEST_F(CharEditUndo, MultiPenKeepsCellsMulticolour) {
    struct Case {
        int mode;
        int pen, picked, penAfterSwitch, pickResult;
    } cases[] = {{0, 3, 2, 11, 10}, {3, 14, 12, 14, 12}};
    for (const Case& t : cases) {
        m->setGfxMode(t.mode);
        m->pen = t.pen;
        BankSelect::multicolor(e, true);
        EXPECT_EQ(m->pen, t.penAfterSwitch);
        EXPECT_EQ(CharEdit::multiPen(*m, t.picked), t.pickResult);
        EXPECT_EQ(u.undoName(), "multicolor");
    }
}

TEST_F(CharEditUndo, BitmapTypingUsesTheShownGlyph) {
    bitmapMode(false);
    // The VIC sees the characters in RAM at $2800 (in the bitmap) here.
    m->vic[0x18] = 0x1A;
    for (int i = 0; i < 8; ++i) m->ram[0x2800 + 8 + i] = u8(0x11 * i);
    e.cursorCol = 0;
    e.cursorRow = 0;
    CharEdit::typeFromCharset(e, 1);
    EXPECT_EQ(0, std::memcmp(m->ram + 0x2000, m->ram + 0x2808, 8));
    EXPECT_EQ(e.cursorCol, 1);
    // One step per click, also in text mode.
    textMode();
    CharEdit::typeFromCharset(e, 1);
    EXPECT_EQ(m->ram[0x0400 + 1], 1);
    EXPECT_EQ(u.undo.size(), 2u);
    EXPECT_EQ(u.undoName(), "textmode text");
}

}  // namespace
