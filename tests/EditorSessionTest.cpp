#include <random>

#include "tests/EditorTestSupport.h"

namespace {

// A user session through the editor's own mouse and key operations.
using EditorSessionTest = EditorFixture;

TEST_F(EditorSessionTest, DrawUndoSelectPasteTypeUndo) {
    m->loadAssets(VORLIX_ASSET_DIR);
    m->reset();
    for (int i = 0; i < 4096; ++i) m->charRom[i] = u8(0xA5 ^ i);
    bitmapMode(false);
    m->vic[0x21] = 6;
    e.tool = 3;
    m->pen = 1;
    const Bytes start(m->ram, m->ram + 65536);

    // Freehand from (10, 10) to (20, 10): cell (1, 1) row 2 bits for x 10-15, cell (2, 1) x 16-20,
    // white on the reset background blue.
    e.mouseDown(10, 10, 0);
    e.mouseMove(15, 10);
    e.mouseMove(20, 10);
    e.mouseUp(20, 10, 0);
    ASSERT_EQ(u.undo.size(), 1u);
    EXPECT_EQ(u.undoName(), "hires drawing");
    const Bytes drawn(m->ram, m->ram + 65536);

    e.undoLast();
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), start);
    e.redoLast();
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), drawn);

    // Select cells (1, 1)-(2, 1), copy, float the copy to cell (10, 10) and click.
    e.tool = 9;
    e.mouseDown(8, 8, 0);
    e.mouseMove(17, 9);
    e.mouseUp(17, 9, 0);
    ASSERT_TRUE(e.copyBlock());
    EXPECT_EQ(e.clip.w, 2);
    EXPECT_EQ(e.clip.h, 1);
    ASSERT_TRUE(e.startPaste());
    e.mouseMove(60, 60);
    e.mouseMove(80, 80);
    e.mouseDown(80, 80, 0);
    e.mouseUp(80, 80, 0);
    EXPECT_FALSE(e.pasting);
    const int cell = 10 * 40 + 10;
    EXPECT_EQ(m->ram[0x2000 + 10 * 320 + 80 + 2], 0x3F);
    EXPECT_EQ(m->ram[0x2000 + 10 * 320 + 88 + 2], 0xF8);
    EXPECT_EQ(m->ram[0x0400 + cell], 0x16);
    EXPECT_EQ(m->ram[0x0400 + cell + 1], 0x16);
    EXPECT_EQ(m->ram[0x0400 + 7 * 40 + 7], 0x10);  // the preview at (7, 7) is gone
    EXPECT_EQ(m->ram[0x2000 + 7 * 320 + 56 + 2], 0);
    EXPECT_EQ(selection(), (std::array{10, 10, 11, 10}));
    EXPECT_EQ(u.undoName(), "hires paste block");
    const Bytes pasted(m->ram, m->ram + 65536);

    // Type "HI" at the bottom-left cell.
    e.tool = 1;
    e.mouseDown(3, 195, 0);
    EXPECT_EQ(e.cursorCol, 0);
    EXPECT_EQ(e.cursorRow, 24);
    m->pen = 7;
    e.typeChar(8);
    e.typeChar(9);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(m->ram[0x2000 + 24 * 320 + i], m->charRom[8 * 8 + i]);
        EXPECT_EQ(m->ram[0x2000 + 24 * 320 + 8 + i], m->charRom[9 * 8 + i]);
    }
    EXPECT_EQ(m->ram[0x0400 + 960], 0x76);
    EXPECT_EQ(m->ram[0x0400 + 961], 0x76);
    EXPECT_EQ(e.cursorCol, 2);
    ASSERT_EQ(u.undo.size(), 3u);
    EXPECT_EQ(u.undoName(), "hires text");

    // Undo the typing, then the paste, then the drawing; redo all of it.
    e.undoLast();
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), pasted);
    e.undoLast();
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), drawn);
    e.undoLast();
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), start);
    e.undoLast();  // nothing left
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), start);
    e.redoLast();
    e.redoLast();
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), pasted);
    // Typing after an undo starts its own step.
    e.typeChar(1);
    EXPECT_EQ(u.undoName(), "hires text");
    EXPECT_TRUE(u.redo.empty());
    e.undoLast();
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), pasted);
}

// Random sessions of typing mixed with every other kind of step: undoing everything restores the start.
TEST_F(EditorSessionTest, RandomSessionsUndoToStart) {
    std::mt19937 rng(5);
    for (int session = 0; session < 40; ++session) {
        for (int i = 0; i < 65536; ++i) m->ram[i] = u8(rng());
        const Bytes start(m->ram, m->ram + 65536);
        for (int step = 0; step < 60; ++step) {
            const int x = int(rng() % 320), y = int(rng() % 200), r = int(rng() % 7);
            if (r < 3) e.typeChar(u8(rng()));
            if (r == 3) e.editKey(rng() & 1 ? EditKey::Delete : EditKey::Insert, false);
            if (r == 4)  // the toolbar's register step: mode, bank and $D018
                e.commitPendingEdits(), u.TakeUndo(6, "vic"), m->bank = u16(rng() & 3), m->vic[0x18] = u8(rng()),
                    m->setGfxMode(int(rng() % 5));
            if (r == 5) e.tool = int(1 + rng() % 7), e.mouseDown(x, y, int(rng() % 2)), e.mouseUp(x, y, 0);
            if (r == 6) rng() & 1 ? e.undoLast() : e.redoLast();
        }
        while (!u.undo.empty()) e.undoLast();
        ASSERT_EQ(Bytes(m->ram, m->ram + 65536), start) << session;
    }
}

}  // namespace
