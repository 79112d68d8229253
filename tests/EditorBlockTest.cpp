#include "tests/EditorTestSupport.h"

namespace {

using EditorBlockTest = EditorFixture;

TEST_F(EditorBlockTest, SelectBackwardsAndCopy) {
    for (int i = 0; i < 1000; ++i) {
        m->ram[0x0400 + i] = u8(i);
        m->ram[0xD800 + i] = u8(i >> 2);
    }
    e.tool = 9;
    e.mouseDown(30 * 8 + 3, 20 * 8 + 7, 0);
    e.mouseMove(10 * 8, 5 * 8 + 1);
    e.mouseUp(10 * 8, 5 * 8 + 1, 0);
    EXPECT_TRUE(e.hasSelection);
    EXPECT_FALSE(e.drawing);
    EXPECT_EQ(selection(), (std::array{10, 5, 30, 20}));
    ASSERT_TRUE(e.copyBlock());
    EXPECT_EQ(e.clip.w, 21);
    EXPECT_EQ(e.clip.h, 16);
    EXPECT_FALSE(e.clip.bitmap);
    EXPECT_TRUE(e.clip.bitmapBytes.empty());
    ASSERT_EQ(e.clip.screen.size(), 21u * 16u);
    EXPECT_EQ(e.clip.screen[0], u8(5 * 40 + 10));
    EXPECT_EQ(e.clip.screen[21 + 1], u8(6 * 40 + 11));
    EXPECT_EQ(e.clip.colour[21 * 16 - 1], u8((20 * 40 + 30) >> 2));
    EXPECT_TRUE(u.undo.empty());
    // Button 1 drops the selection; block operations then do nothing.
    e.mouseDown(0, 0, 1);
    EXPECT_FALSE(e.hasSelection);
    EXPECT_FALSE(e.copyBlock());
    EXPECT_FALSE(e.cutBlock());
    Bytes before = ram();
    e.clearBlock();
    e.flipBlockX();
    e.flipBlockY();
    e.invertBlock();
    EXPECT_EQ(ram(), before);
    EXPECT_TRUE(u.undo.empty());
}

TEST_F(EditorBlockTest, ClearKeepsColoursCutWritesSpaces) {
    std::memset(m->ram + 0x0400, 0x01, 1000);
    std::memset(m->ram + 0xD800, 0x03, 1000);
    e.selectAll();
    ASSERT_TRUE(e.cutBlock());
    EXPECT_EQ(e.clip.w, 40);
    EXPECT_EQ(e.clip.h, 25);
    EXPECT_EQ(e.clip.screen[999], 0x01);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(m->ram[0x0400 + i], 0x20);
        ASSERT_EQ(m->ram[0xD800 + i], 3);
    }
    EXPECT_EQ(u.undoName(), "textmode clear block");
    // In a bitmap only the pattern goes.
    bitmapMode(false, 0x1F);
    std::memset(m->ram + 0x2000, 0xAA, 8000);
    std::memset(m->ram + 0xD800, 0x05, 1000);
    select(2, 1, 1, 2);
    e.clearBlock();
    EXPECT_EQ(u.undoName(), "hires clear block");
    for (int r = 0; r < 25; ++r)
        for (int c = 0; c < 40; ++c) {
            bool in = c >= 1 && c <= 2 && r >= 1 && r <= 2;
            for (int k = 0; k < 8; ++k) ASSERT_EQ(m->ram[0x2000 + r * 320 + c * 8 + k], in ? 0 : 0xAA);
            ASSERT_EQ(m->ram[0x0400 + r * 40 + c], 0x1F);
            ASSERT_EQ(m->ram[0xD800 + r * 40 + c], 5);
        }
}

TEST_F(EditorBlockTest, FlipAndInvertBytes) {
    bitmapMode(true);
    m->ram[0x2000] = 0x1B;
    m->ram[0x2007] = 0x40;
    m->ram[0x2008] = 0x11;  // cell (1, 0)
    m->ram[0x0400] = 0x12;
    m->ram[0x0401] = 0x34;
    select(0, 0, 1, 0);
    e.flipBlockX();
    EXPECT_EQ(u.undoName(), "multicolor flip block");
    // Cells swap; each byte's pairs reverse.
    EXPECT_EQ(m->ram[0x2008], 0xE4);
    EXPECT_EQ(m->ram[0x200F], 0x01);
    EXPECT_EQ(m->ram[0x2000], 0x44);
    EXPECT_EQ(m->ram[0x0400], 0x34);
    EXPECT_EQ(m->ram[0x0401], 0x12);
    e.flipBlockX();
    EXPECT_EQ(m->ram[0x2000], 0x1B);
    EXPECT_EQ(m->ram[0x2008], 0x11);

    bitmapMode(false);
    m->ram[0x2000] = 0x01;
    m->ram[0x2001] = 0x03;
    e.flipBlockX();
    EXPECT_EQ(m->ram[0x2008], 0x80);
    EXPECT_EQ(m->ram[0x2009], 0xC0);

    bitmapMode(false);
    m->ram[0x2000] = 0x01;
    m->ram[0x2000 + 320 + 7] = 0x77;
    m->ram[0x0400] = 0x10;
    m->ram[0x0400 + 40] = 0x20;
    select(0, 0, 0, 1);
    e.flipBlockY();
    EXPECT_EQ(m->ram[0x2000 + 320 + 7], 0x01);
    EXPECT_EQ(m->ram[0x2000], 0x77);
    EXPECT_EQ(m->ram[0x0400], 0x20);
    EXPECT_EQ(m->ram[0x0400 + 40], 0x10);
    e.flipBlockY();
    EXPECT_EQ(m->ram[0x2000], 0x01);

    e.invertBlock();
    EXPECT_EQ(m->ram[0x2000], 0xFE);
    EXPECT_EQ(m->ram[0x0400], 0x10);
    EXPECT_EQ(u.undoName(), "hires invert block");

    textMode();
    m->ram[0x0400] = 0x01;
    e.invertBlock();
    EXPECT_EQ(m->ram[0x0400], 0x81);
    e.invertBlock();
    EXPECT_EQ(m->ram[0x0400], 0x01);
}

TEST_F(EditorBlockTest, PasteFollowsMouseAndCommits) {
    EXPECT_FALSE(e.startPaste());  // nothing copied yet
    EXPECT_TRUE(u.undo.empty());
    for (int i = 0; i < 4; ++i) m->ram[0x0400 + i] = u8(0x41 + i);
    select(0, 0, 3, 0);
    ASSERT_TRUE(e.copyBlock());
    e.hasSelection = false;
    Bytes before = ram();
    ASSERT_TRUE(e.startPaste());
    EXPECT_TRUE(e.pasting);
    EXPECT_EQ(u.undoName(), "textmode paste block");
    EXPECT_EQ(e.pasteX, 0);
    // Overhang the right edge: only the visible columns are written.
    e.mouseMove(38 * 8 + 2, 10 * 8);
    EXPECT_EQ(m->ram[0x0400 + 10 * 40 + 38], 0x41);
    EXPECT_EQ(m->ram[0x0400 + 10 * 40 + 39], 0x42);
    EXPECT_EQ(m->ram[0x0400 + 11 * 40], 0x20);
    e.mouseMove(5 * 8, 3 * 8);
    EXPECT_EQ(m->ram[0x0400 + 10 * 40 + 38], 0x20);  // the earlier preview is gone
    EXPECT_EQ(m->ram[0x0400 + 3 * 40 + 5], 0x41);
    e.mouseMove(38 * 8, 24 * 8 + 7);
    e.mouseDown(38 * 8, 24 * 8, 0);
    EXPECT_FALSE(e.pasting);
    EXPECT_TRUE(e.savedScreen.empty());
    EXPECT_EQ(selection(), (std::array{38, 24, 39, 24}));
    EXPECT_EQ(m->ram[0x0400 + 999], 0x42);
    EXPECT_EQ(m->ram[0x0400 + 3 * 40 + 5], 0x20);
    u.MakeUndo();
    EXPECT_EQ(ram(), before);
}

TEST_F(EditorBlockTest, BitmapPasteCancelsAndLandsExactly) {
    bitmapMode(false);
    for (int i = 0; i < 8000; ++i) m->ram[0x2000 + i] = u8(i * 13);
    for (int i = 0; i < 1000; ++i) m->ram[0x0400 + i] = u8(i * 3);
    select(3, 3, 8, 6);
    ASSERT_TRUE(e.copyBlock());
    EXPECT_TRUE(e.clip.bitmap);
    EXPECT_EQ(e.clip.bitmapBytes.size(), 6u * 4u * 8u);
    Bytes before = ram();
    ASSERT_TRUE(e.startPaste());
    e.mouseMove(100, 100);
    e.mouseDown(100, 100, 1);
    EXPECT_FALSE(e.pasting);
    EXPECT_EQ(ram(), before);
    EXPECT_EQ(u.undo.size(), 1u);  // the paste step stays
    ASSERT_TRUE(e.startPaste());
    e.mouseMove(200, 150);
    e.cancelPaste();
    EXPECT_EQ(ram(), before);
    e.cancelPaste();
    e.commitPaste();
    EXPECT_EQ(ram(), before);
    // Committed at cell (25, 20): every byte of the 6x4 cells as copied, nothing else.
    ASSERT_TRUE(e.startPaste());
    e.mouseMove(25 * 8, 20 * 8);
    e.commitPaste();
    Bytes after = ram();
    int changed = 0;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c) {
            int to = (20 + r) * 40 + 25 + c, from = (3 + r) * 40 + 3 + c;
            EXPECT_EQ(after[0x0400 + to], before[0x0400 + from]);
            for (int k = 0; k < 8; ++k) EXPECT_EQ(after[0x2000 + to * 8 + k], before[0x2000 + from * 8 + k]);
        }
    for (int a = 0; a < 65536; ++a) changed += after[a] != before[a];
    EXPECT_LE(changed, 6 * 4 * 10);
}

TEST_F(EditorBlockTest, TextBlockPastedInHiresLeavesBitmap) {
    m->ram[0x0400] = 0x55;
    m->ram[0xD800] = 0x0E;
    select(0, 0, 0, 0);
    ASSERT_TRUE(e.copyBlock());
    bitmapMode(false);
    std::memset(m->ram + 0x2000, 0x3C, 8000);
    e.hasSelection = false;
    Bytes before = ram();
    ASSERT_TRUE(e.startPaste());
    e.mouseMove(80, 80);
    e.commitPaste();
    Bytes after = ram();
    for (int a = 0; a < 65536; ++a)
        if (after[a] != before[a]) {
            EXPECT_TRUE(a == 0x0400 + 10 * 40 + 10 || a == 0xD800 + 10 * 40 + 10) << a;
        }
    EXPECT_EQ(m->ram[0x0400 + 410], 0x55);
    EXPECT_EQ(m->ram[0xD800 + 410], 0x0E);
}

TEST_F(EditorBlockTest, SecondPasteSettlesFirst) {
    floatCell0();
    e.mouseMove(80, 80);
    ASSERT_TRUE(e.startPaste());  // places the first one where it is
    EXPECT_EQ(m->ram[0x0400 + 410], 0x51);
    e.mouseMove(160, 80);
    e.cancelPaste();
    EXPECT_EQ(m->ram[0x0400 + 410], 0x51);
    EXPECT_EQ(m->ram[0x0400 + 420], 0x20);
}

TEST_F(EditorBlockTest, PasteNeverRestoresStaleBytesAfterUndoOrLoad) {
    floatCell0();
    e.mouseMove(80, 80);
    // Undo while the paste floats: it is placed, then the paste step undone.
    e.undoLast();
    EXPECT_FALSE(e.pasting);
    EXPECT_EQ(m->ram[0x0400 + 410], 0x20);
    EXPECT_EQ(u.redoName(), "textmode paste block");
    // A load after a new paste: the loaded bytes survive later mouse movement.
    ASSERT_TRUE(e.startPaste());
    e.commitPendingEdits();
    std::memset(m->ram + 0x0400, 0x66, 1000);
    e.mouseMove(200, 100);
    e.mouseDown(200, 100, 1);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(m->ram[0x0400 + i], 0x66);
}

TEST_F(EditorBlockTest, PasteDroppedWhenScreenMovesUnderIt) {
    floatCell0();
    std::memset(m->ram + 0x0800, 0x33, 1000);
    m->vic[0x18] = 0x24;  // screen to $0800 without telling the editor
    e.mouseMove(80, 80);
    EXPECT_FALSE(e.pasting);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(m->ram[0x0800 + i], 0x33);
}

TEST_F(EditorBlockTest, EditsWhilePasteFloatsSurviveTheNextMove) {
    // Typing, cell colours, clears and block keys reach the editor while a paste
    // floats; the paste is placed first, so its backup cannot undo them.
    struct Case {
        const char* name;
        void (*edit)(Editor&);
        int cell;
        u8 screen;
    };
    const Case cases[] = {
        {"type", [](Editor& ed) { ed.typeChar(0x33); }, 0, 0x33},
        {"delete", [](Editor& ed) { ed.editKey(EditKey::Delete, false); }, 39, 0x20},
        {"paste char", [](Editor& ed) { ed.charClipCode = 0x44; ed.pasteChar(); }, 0, 0x44},
        {"cell colour", [](Editor& ed) { ed.setCellColor(3, 0, 0, 9); }, 0, 0x51},
        {"clear", [](Editor& ed) { ed.clearScreen(ClearMode::Value, 0x77); }, 999, 0x77},
        {"invert", [](Editor& ed) { ed.invertBlock(); }, 410, 0x51 ^ 0x80},
        {"cut", [](Editor& ed) { ed.cutBlock(); }, 410, 0x20},
    };
    for (const Case& c : cases) {
        textMode();
        u.Clear();
        e.cursorCol = e.cursorRow = 0;
        floatCell0();
        e.mouseMove(80, 80);
        c.edit(e);
        EXPECT_FALSE(e.pasting) << c.name;
        const Bytes edited = ram();
        e.mouseMove(160, 120);
        e.mouseDown(160, 120, 1);
        EXPECT_EQ(ram(), edited) << c.name;
        EXPECT_EQ(m->ram[0x0400 + c.cell], c.screen) << c.name;
    }
    EXPECT_EQ(m->ram[0x0400 + 410], 0x20);  // the cut took the placed paste
    EXPECT_EQ(e.clip.screen[0], 0x51);
}

}  // namespace
