#include "tests/EditorTestSupport.h"

namespace {

using EditorTextTest = EditorFixture;

TEST_F(EditorTextTest, TypingWrapsAndTakesOneStep) {
    m->pen = 3;
    e.cursorRow = 24;
    e.cursorCol = 0;
    for (int i = 0; i < 40; ++i) e.typeChar(u8(1 + i));
    EXPECT_EQ(e.cursorCol, 0);
    EXPECT_EQ(e.cursorRow, 0);
    EXPECT_EQ(m->ram[0x0400 + 960], 1);
    EXPECT_EQ(m->ram[0x0400 + 999], 40);
    EXPECT_EQ(m->ram[0xD800 + 999], 3);
    EXPECT_EQ(u.undo.size(), 1u);
    EXPECT_EQ(u.undoName(), "textmode text");
    EXPECT_FALSE(e.textUndoPending);
    // With another tool every character is its own step.
    e.tool = 3;
    e.typeChar(1);
    e.typeChar(2);
    EXPECT_EQ(u.undo.size(), 3u);
    EXPECT_EQ(u.undoName(), "textmode drawing");
}

TEST_F(EditorTextTest, InsertMode) {
    for (int c = 0; c < 40; ++c) m->ram[0x0400 + 240 + c] = u8(c);
    e.editKey(EditKey::Insert, false);
    EXPECT_TRUE(e.insert);
    e.cursorCol = 10;
    e.typeChar(0x55);
    EXPECT_EQ(m->ram[0x0400 + 250], 0x55);
    EXPECT_EQ(m->ram[0x0400 + 251], 10);
    EXPECT_EQ(m->ram[0x0400 + 279], 38);  // what was in column 39 is gone
    EXPECT_EQ(m->ram[0x0400 + 280], 0x20);  // the next row is untouched
    e.cursorCol = 39;
    e.typeChar(0x56);
    EXPECT_EQ(m->ram[0x0400 + 279], 0x56);
    EXPECT_EQ(m->ram[0x0400 + 278], 37);
    e.editKey(EditKey::Insert, false);
    EXPECT_FALSE(e.insert);
}

TEST_F(EditorTextTest, DeleteAndBackspace) {
    for (int c = 0; c < 40; ++c) {
        m->ram[0x0400 + 240 + c] = u8(c);
        m->ram[0xD800 + 240 + c] = u8(c & 15);
    }
    e.cursorCol = 5;
    e.editKey(EditKey::Delete, false);
    EXPECT_EQ(m->ram[0x0400 + 245], 6);
    EXPECT_EQ(m->ram[0xD800 + 245], 6);
    EXPECT_EQ(m->ram[0x0400 + 278], 39);
    EXPECT_EQ(m->ram[0x0400 + 279], 0x20);
    EXPECT_EQ(m->ram[0xD800 + 279], 39 & 15);  // colour of column 39 stays
    EXPECT_EQ(u.undo.size(), 1u);
    e.editKey(EditKey::Backspace, false);
    EXPECT_EQ(e.cursorCol, 4);
    EXPECT_EQ(m->ram[0x0400 + 244], 6);
    EXPECT_EQ(u.undo.size(), 1u);
    // At column 0: only the cursor moves.
    e.cursorCol = 0;
    e.cursorRow = 0;
    Bytes before = ram();
    e.textUndoPending = true;
    e.editKey(EditKey::Backspace, false);
    EXPECT_EQ(e.cursorCol, 39);
    EXPECT_EQ(e.cursorRow, 0);
    EXPECT_EQ(ram(), before);
    EXPECT_EQ(u.undo.size(), 1u);
    e.cursorCol = 0;
    e.cursorRow = 7;
    e.editKey(EditKey::Backspace, false);
    EXPECT_EQ(e.cursorRow, 6);
    EXPECT_EQ(e.cursorCol, 39);
    // In a bitmap mode Delete changes and records nothing, and keeps redo.
    bitmapMode(false);
    u.MakeUndo();
    before = ram();
    e.cursorCol = 3;
    e.editKey(EditKey::Delete, false);
    EXPECT_EQ(ram(), before);
    EXPECT_TRUE(u.undo.empty());
    EXPECT_EQ(u.redo.size(), 1u);
}

TEST_F(EditorTextTest, CursorKeys) {
    // Shift turns Down into up and Right into left; moves wrap around the screen; unknown keys do nothing.
    const struct {
        EditKey key;
        bool shift;
        int col, row, wantCol, wantRow;
    } rows[] = {
        {EditKey::Up, false, 0, 0, 0, 24},       {EditKey::Down, false, 0, 24, 0, 0},
        {EditKey::Down, true, 0, 0, 0, 24},      {EditKey::Up, true, 0, 24, 0, 0},
        {EditKey::Left, false, 0, 0, 39, 0},     {EditKey::Right, false, 39, 0, 0, 0},
        {EditKey::Right, true, 0, 0, 39, 0},     {EditKey::Left, true, 39, 0, 0, 0},
        {EditKey::Return, false, 17, 24, 0, 0},  {EditKey::Return, false, 17, 9, 0, 10},
        {EditKey::Home, false, 17, 9, 0, 9},     {EditKey::Home, true, 17, 9, 0, 0},
        {EditKey(0), false, 17, 9, 17, 9},       {EditKey(10), true, 17, 9, 17, 9},
    };
    const Bytes before = ram();
    for (const auto& r : rows) {
        e.cursorCol = r.col;
        e.cursorRow = r.row;
        e.editKey(r.key, r.shift);
        EXPECT_EQ(e.cursorCol, r.wantCol) << int(r.key) << " " << r.shift;
        EXPECT_EQ(e.cursorRow, r.wantRow) << int(r.key) << " " << r.shift;
    }
    EXPECT_EQ(ram(), before);
    EXPECT_TRUE(u.undo.empty());
}

TEST_F(EditorTextTest, TypingIntoHires) {
    bitmapMode(false);
    m->pen = 7;
    m->vic[0x21] = 0xF2;
    m->vic[0x18] = 0x1A;  // $D018 bit 1 set: second ROM half
    e.cursorCol = 2;
    e.cursorRow = 1;
    e.typeChar(1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m->ram[0x2000 + 320 + 16 + i], m->charRom[0x800 + 8 + i]);
    EXPECT_EQ(m->ram[0x0400 + 42], 0x72);
    EXPECT_EQ(m->ram[0xD800 + 42], 0);
    EXPECT_EQ(u.undoName(), "hires text");
    m->vic[0x18] = 0x18;
    e.typeChar(2);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m->ram[0x2000 + 320 + 24 + i], m->charRom[16 + i]);
}

TEST_F(EditorTextTest, CharClipboard) {
    // Before any copy: a space in colour 0 with an empty pattern.
    bitmapMode(true);
    std::memset(m->ram + 0x2000, 0xFF, 16);
    m->ram[0x0400] = 0x99;
    m->ram[0xD800] = 0x0C;
    e.cursorCol = 0;
    e.cursorRow = 0;
    e.pasteChar();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m->ram[0x2000 + i], 0);
    EXPECT_EQ(m->ram[0x0400], 0x20);
    EXPECT_EQ(m->ram[0xD800], 0);
    EXPECT_EQ(u.undoName(), "multicolor paste");
    m->ram[0x2008 + 3] = 0x5A;
    m->ram[0x0401] = 0x99;
    m->ram[0xD801] = 0xFC;
    e.cursorCol = 1;
    e.copyChar();
    e.cursorCol = 5;
    e.pasteChar();
    EXPECT_EQ(m->ram[0x2028 + 3], 0x5A);
    EXPECT_EQ(m->ram[0x0405], 0x99);
    EXPECT_EQ(m->ram[0xD805], 0xFC);
    // In a text mode the pattern of the clipboard stays as it was.
    textMode();
    m->ram[0x0400 + 7] = 0x31;
    e.cursorCol = 7;
    e.copyChar();
    EXPECT_EQ(e.charClip[3], 0x5A);
    EXPECT_EQ(e.charClipCode, 0x31);
}

TEST_F(EditorTextTest, ClearModesAndDescriptions) {
    m->pen = 4;
    e.cursorCol = 9;
    e.cursorRow = 9;
    std::memset(m->ram + 0x0400, 0x41, 1000);
    std::memset(m->ram + 0xD800, 0x07, 1000);
    EXPECT_EQ(e.clearDescription(),
              "This will erase:\nVideomem at $0400 - $07E7 (1000 bytes)\nColormem at $D800 - $DBE7 (1000 bytes)\n");
    e.clearScreen(ClearMode::Background, 0);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(m->ram[0x0400 + i], 0x20);
        ASSERT_EQ(m->ram[0xD800 + i], 0);
    }
    EXPECT_EQ(m->ram[0x0400 + 1000], 0);  // nothing beyond the screen
    EXPECT_EQ(e.cursorCol, 0);
    EXPECT_EQ(e.cursorRow, 0);
    EXPECT_EQ(u.undoName(), "textmode clear");
    e.clearScreen(ClearMode::Value, 0x1234);
    EXPECT_EQ(m->ram[0x0400 + 500], 0x34);
    EXPECT_EQ(m->ram[0xD800 + 500], 0x34);

    bitmapMode(false, 0x11);
    std::memset(m->ram + 0x2000, 0x77, 8192);
    std::memset(m->ram + 0xD800, 0x07, 1000);
    m->vic[0x21] = 6;
    EXPECT_EQ(e.clearDescription(),
              "This will erase:\nVideomem at $0400 - $07E7 (1000 bytes)\nBitmapmem at $2000 - $3FFF (8192 bytes)\n");
    e.clearScreen(ClearMode::Background, 0);
    for (int i = 0; i < 8192; ++i) ASSERT_EQ(m->ram[0x2000 + i], 0);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(m->ram[0x0400 + i], 0x46);
        ASSERT_EQ(m->ram[0xD800 + i], 7);
    }
    e.clearScreen(ClearMode::Ones, 0);
    EXPECT_EQ(m->ram[0x3FFF], 0xFF);
    EXPECT_EQ(m->ram[0x0400], 0xFF);
    EXPECT_EQ(m->ram[0xD800], 7);

    bitmapMode(true);
    m->bank = 3;
    m->vic[0x18] = 0x78;
    EXPECT_EQ(e.clearDescription(), "This will erase:\nVideomem at $DC00 - $DFE7 (1000 bytes)\n"
                                    "Bitmapmem at $E000 - $FFFF (8192 bytes)\nColormem at $D800 - $DBE7 (1000 bytes)\n");
    e.clearScreen(ClearMode::Zero, 0);
    EXPECT_EQ(m->ram[0xFFFF], 0);
    EXPECT_EQ(m->ram[0xD800], 0);
    e.clearScreen(ClearMode::Value, 0xAB);
    EXPECT_EQ(m->ram[0xFFFF], 0xAB);
    EXPECT_EQ(m->ram[0xDFE7], 0xAB);
    EXPECT_EQ(m->ram[0xDBE7], 0xAB);
    EXPECT_EQ(m->ram[0xDBE8], 0);

    size_t steps = u.undo.size();
    Bytes before = ram();
    e.clearScreen(ClearMode(4), 0);
    EXPECT_EQ(ram(), before);
    EXPECT_EQ(u.undo.size(), steps);
}

TEST_F(EditorTextTest, CellColoursByMode) {
    m->ram[0x0400 + 41] = 0xC1;  // cell (1, 1)
    m->ram[0xD800 + 41] = 0xF9;
    for (int r = 0; r < 4; ++r) m->vic[0x21 + r] = u8(0xF0 | (r + 1));
    // Mode 2 with the multicolour bit also set shows the multicolour slots; -1: no such slot.
    const struct {
        int mode;
        bool multicolourBit;
        int want[4];
    } rows[] = {{0, false, {1, -1, -1, 9}}, {1, false, {1, 2, 3, 9}},    {2, false, {4, -1, -1, 9}},
                {2, true, {4, 2, 3, 9}},    {3, false, {-1, 12, 1, -1}}, {4, false, {1, 12, 1, 9}}};
    for (const auto& r : rows) {
        m->setGfxMode(r.mode);
        if (r.multicolourBit) m->vic[0x16] |= 0x10;
        int out[4];
        e.cellColors(8, 8, out);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(out[k], r.want[k]) << r.mode << " slot " << k;
    }
    // Pointer positions outside the screen are clamped.
    int out[4];
    e.cellColors(-100, 5000, out);
    EXPECT_EQ(out[3], m->ram[0xD800 + 960] & 15);
}

TEST_F(EditorTextTest, SetCellColours) {
    m->ram[0x0400 + 41] = 0xC1;
    m->setGfxMode(4);
    e.setCellColor(1, 8, 8, 0x15);
    EXPECT_EQ(m->ram[0x0400 + 41], 0x51);
    e.setCellColor(2, 8, 8, 7);
    EXPECT_EQ(m->ram[0x0400 + 41], 0x57);
    e.setCellColor(3, 8, 8, 0x2A);
    EXPECT_EQ(m->ram[0xD800 + 41], 0x0A);
    e.setCellColor(0, 8, 8, 3);
    EXPECT_EQ(m->vic[0x21], 3);
    m->setGfxMode(2);
    m->ram[0x0400 + 41] = 0x81;  // background register 2
    e.setCellColor(0, 8, 8, 9);
    EXPECT_EQ(m->vic[0x23], 9);
    EXPECT_EQ(m->vic[0x21], 3);
    Bytes before = ram();
    e.setCellColor(1, 8, 8, 5);  // no such slot here
    e.setCellColor(4, 8, 8, 5);
    e.setCellColor(-1, 8, 8, 5);
    EXPECT_EQ(ram(), before);
    m->setGfxMode(1);
    e.setCellColor(1, 8, 8, 5);
    e.setCellColor(2, 8, 8, 6);
    EXPECT_EQ(m->vic[0x22], 5);
    EXPECT_EQ(m->vic[0x23], 6);
    EXPECT_TRUE(u.undo.empty());
}

}  // namespace
