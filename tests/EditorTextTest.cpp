#include <tuple>

#include "tests/EditorTestSupport.h"

using namespace VicReg;

namespace {

using EditorTextTest = EditorFixture;

// Typing, editing keys, the character clipboard and the block operations.
TEST_F(EditorTextTest, ScreenEdits) {
    Pokes row6;  // screen and colour of row 6 hold the column number
    for (int c = 0; c < 40; ++c) row6.insert(row6.end(), {{0x0400 + 240 + c, c}, {0xD800 + 240 + c, c & 15}});
    const u8 shown[8] = {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    const u8 none[8] = {}, full[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Cells (1, 1) and (2, 2) inside, (3, 1), (1, 0), (0, 1) and (1, 3) outside.
    const Pokes blocks{{0x2148, 0xAA}, {0x2297, 0xAA}, {0x2158, 0xAA}, {0x2008, 0xAA},
                       {0x2147, 0xAA}, {0x23C8, 0xAA}, {0x0429, 0x1F}, {0xD829, 5}};
    const Pokes mcCells{{0x2000, 0x1B}, {0x2007, 0x40}, {0x2008, 0x11}, {0x0400, 0x12}, {0x0401, 0x34}};
    const Pokes hiresRows{{0x2000, 1}, {0x2147, 0x77}, {0x0400, 0x10}, {0x0428, 0x20}};
    const Pokes abcd{{0x0400, 0x41}, {0x0401, 0x42}, {0x0402, 0x43}, {0x0403, 0x44}};
    Pokes pattern;
    for (int i = 0; i < 8000; i += 7) pattern.push_back({0x2000 + i, i * 13});
    // Whatever reaches the editor while a paste of $51 floats at cell 410: the paste is placed first,
    // so its backup cannot undo the change when the pointer moves on and the float is dropped.
    const Pokes cell0{{0x0400, 0x51}, {0x0402, 0x44}, {0x0800 + 410, 0x33}, {0x0800 + 420, 0x33}};
    const std::string floating = "cursor 2,0 copy-char select 0,0,0,0 copy paste move 80,80 cursor 0,0 ",
        moveOn = " move 160,80 press 160,80,1";
    // A text screen holding each cell's number, colours a quarter of it, and a picture of bytes i * 13.
    Pokes numbered, picture;
    for (int i = 0; i < 1000; ++i) numbered.insert(numbered.end(), {{0x0400 + i, i}, {0xD800 + i, i >> 2}});
    for (int i = 0; i < 9000; ++i) picture.push_back({i < 8000 ? 0x2000 + i : 0x0400 + i - 8000, i * 13});
    // Cells (3, 3)-(8, 6) pasted at (25, 20); the cells around them stay.
    Pokes landed;
    for (int r = 19; r < 25; ++r)
        for (int c = 24; c < 32; ++c) {
            const int to = r * 40 + c, from = r > 19 && r < 24 && c > 24 && c < 31 ? (r - 17) * 40 + c - 22 : to;
            for (int k = 0; k < 8; ++k) landed.push_back({0x2000 + to * 8 + k, (from * 8 + k) * 13 & 0xFF});
            landed.push_back({0x0400 + to, (8000 + from) * 13 & 0xFF});
        }
    play({
        // The character window: one step per store, bank or slot change, none for the current choice; the
        // Multi switch keeps the pen multicolour (colour RAM 8-15 in text); typing from the set types as the
        // keyboard does, the ROM pattern, though the VIC's set lies in the bitmap at $3000.
        {"a character stored once", 0, {}, "store-char 3008 store-char 3008", glyph(0x3008, counting), "paste char", 1},
        {"a bank change", 0, {}, "vic-bank 2", {}, "change bank", 1},
        {"bank and charset changes", 0, {},
         "vic-bank 0 vic-bank 4 vic-bank 2 charset-slot 4 charset-slot 4 char-half 1 char-half 1 cursor 0,0 type 41",
         {{0x8400, 0x41}, {vic(MemoryPointers), 0x1A}}, "textmode text", 4},
        {"bank and charset changes undone", 0, {},
         "vic-bank 2 charset-slot 4 char-half 1 undo undo undo cursor 0,0 type 41",
         {{0x0400, 0x41}, {vic(MemoryPointers), 0x14}}, "textmode text", 1},
        {"the Multi switch in text", 0, {}, "pen 3 multi 1", {{vic(Control2), 0x18}}, "multicolor", 1, {-1, -1}, 11},
        {"the Multi switch in a bitmap", 3, {}, "pen 14 multi 1", {{vic(Control2), 0x18}}, "multicolor", 1, {-1, -1}, 14},
        {"typing from the set in hires", 3, glyph(0x3008, shown, {{vic(MemoryPointers), 0x1C}}), "cursor 0,0 type-from-set 1",
         glyph(0x2000, m->charRom + 8, {{0x0400, 0}}), "hires text", 1, {1, 0}},
        {"typing from the set with another tool", 0, {}, "tool 3 cursor 0,0 type-from-set 1", {{0x0400, 1}},
         "textmode text", 1, {1, 0}},
        {"paste with nothing copied", 0, abcd, "paste move 80,80 commit", {}, "", 0},
        {"a backwards selection copied and pasted at (0, 0)", 0, numbered,
         "tool 9 press 243,167,0 move 80,41 release 80,41,0 copy deselect paste commit",
         {{0x0400, 210}, {0x0400 + 41, 251}, {0x0400 + 620, 62}, {0xD800 + 620, 207}, {0x0400 + 21, 21},
          {0x0400 + 640, 128}},
         "textmode paste block", 1},
        {"a bitmap block lands exactly", 3, picture, "select 3,3,8,6 copy deselect paste move 200,160 commit", landed,
         "hires paste block", 1},
        {"typing wraps to the top in one step", 0, {}, "pen 3 cursor 39,24 type 1 type 2",
         {{0x07E7, 1}, {0xDBE7, 3}, {0x0400, 2}}, "textmode text", 1, {1, 0}},
        {"multicolour text, another tool: a step per character", 1, {}, "tool 3 cursor 0,0 type 1 type 2",
         {{0x0400, 1}, {0x0401, 2}}, "textmode drawing", 2, {2, 0}},
        {"insert pushes the row, losing column 39", 0, row6, "insert cursor 10,6 type 55",
         {{0x0400 + 250, 0x55}, {0x0400 + 251, 10}, {0x0400 + 279, 38}, {0x0400 + 280, 0x20}}, "textmode text", 1, {11, 6}},
        {"insert at the last column", 0, row6, "insert cursor 39,6 type 56", {{0x0400 + 279, 0x56}, {0x0400 + 278, 38}},
         "textmode text", 1, {0, 7}},
        {"insert toggled off overwrites", 0, row6, "insert insert cursor 10,6 type 55",
         {{0x0400 + 250, 0x55}, {0x0400 + 251, 11}}, "textmode text", 1, {11, 6}},
        {"delete and backspace pull the row, colour of column 39 stays", 0, row6, "cursor 5,6 delete backspace",
         {{0x0400 + 244, 6}, {0x0400 + 245, 7}, {0x0400 + 277, 39}, {0x0400 + 278, 0x20}, {0x0400 + 279, 0x20},
          {0xD800 + 244, 6}, {0xD800 + 277, 39 & 15}, {0xD800 + 279, 39 & 15}}, "textmode text", 1, {4, 6}},
        {"delete in a bitmap mode changes and records nothing", 3, {}, "cursor 3,0 delete", {}, "", 0, {3, 0}},
        {"typing in hires takes the second ROM half with $D018 bit 1", 3, {}, "pen 7 vic 21=F2 vic 18=1A cursor 2,1 type 1",
         glyph(0x2000 + 320 + 16, m->charRom + 0x800 + 8, {{0x0400 + 42, 0x72}, {0xD800 + 42, 0}}), "hires text", 1,
         {3, 1}},
        {"typing in hires takes the first ROM half without it", 3, {}, "cursor 3,1 type 2",
         glyph(0x2000 + 320 + 24, m->charRom + 16), "hires text", 1, {4, 1}},
        {"char paste before any copy: a space in colour 0, no pattern", 4,
         glyph(0x2000, full, {{0x0400, 0x99}, {0xD800, 0x0C}}), "cursor 0,0 paste-char",
             glyph(0x2000, none, {{0x0400, 0x20}, {0xD800, 0}}),
         "multicolor paste", 1},
        {"copy and paste a char", 4, {{0x200B, 0x5A}, {0x0401, 0x99}, {0xD801, 0xFC}},
         "cursor 1,0 copy-char cursor 5,0 paste-char",
         {{0x202B, 0x5A}, {0x0405, 0x99}, {0xD805, 0xFC}}, "multicolor paste", 1},
        {"a char copy in text mode keeps the pattern", 0, {{0x200B, 0x5A}, {0x0407, 0x31}},
         "mode 3 cursor 1,0 copy-char mode 0 cursor 7,0 copy-char mode 3 cursor 8,0 paste-char",
         {{0x0408, 0x31}, {0x2043, 0x5A}}, "hires paste", 1},
        {"multicolour flip: cells swap, each byte's pairs reverse", 4, mcCells, "select 0,0,1,0 flip-x",
         {{0x2008, 0xE4}, {0x200F, 0x01}, {0x2000, 0x44}, {0x2007, 0}, {0x0400, 0x34}, {0x0401, 0x12}},
          "multicolor flip block", 1},
        {"multicolour flip twice", 4, mcCells, "select 0,0,1,0 flip-x flip-x", mcCells, "multicolor flip block", 2},
        {"hires flip reverses bits", 3, {{0x2000, 1}, {0x2001, 3}}, "select 0,0,1,0 flip-x",
         {{0x2008, 0x80}, {0x2009, 0xC0}, {0x2000, 0}}, "hires flip block", 1},
        {"vertical flip", 3, hiresRows, "select 0,0,0,1 flip-y",
         {{0x2147, 1}, {0x2000, 0x77}, {0x0400, 0x20}, {0x0428, 0x10}}, "hires flip block", 1},
        {"vertical flip twice", 3, hiresRows, "select 0,0,0,1 flip-y flip-y", hiresRows, "hires flip block", 2},
        {"hires invert: the pattern only", 3, {{0x2000, 1}}, "select 0,0,0,1 invert",
         {{0x2000, 0xFE}, {0x2147, 0xFF}, {0x0400, 0x10}}, "hires invert block", 1},
        {"text invert: the reverse bit", 0, {{0x0400, 1}}, "select 0,0,0,0 invert", {{0x0400, 0x81}},
         "textmode invert block", 1},
        {"text invert twice", 0, {{0x0400, 1}}, "select 0,0,0,0 invert invert", {{0x0400, 1}}, "textmode invert block", 2},
        {"hires clear block: the pattern only", 3, blocks, "select 2,1,1,2 clear-block",
         {{0x2148, 0}, {0x2297, 0}, {0x2158, 0xAA}, {0x2008, 0xAA}, {0x2147, 0xAA}, {0x23C8, 0xAA}, {0x0429, 0x1F},
          {0xD829, 5}},
         "hires clear block", 1},
        {"text cut writes spaces, keeps colours", 0, {{0x0400, 1}, {0x07E7, 1}, {0xD800, 3}, {0xDBE7, 3}}, "select-all cut",
         {{0x0400, 0x20}, {0x07E7, 0x20}, {0xD800, 3}, {0xDBE7, 3}}, "textmode clear block", 1},
        {"button 1 drops the selection; block operations then do nothing", 0, abcd,
         "tool 9 select 0,0,3,0 press 0,0,1 clear-block flip-x flip-y invert cut", {}, "", 0},
        {"a paste starts over the selection", 0, abcd, "select 2,0,3,0 copy select 5,1,5,1 paste commit",
         {{0x0400 + 45, 0x43}, {0x0400 + 46, 0x44}}, "textmode paste block", 1},
        {"a paste starts at (0, 0) without one", 0, abcd, "select 2,0,3,0 copy deselect paste commit",
         {{0x0400, 0x43}, {0x0401, 0x44}}, "textmode paste block", 1},
        {"a paste overhanging the right edge shows the visible columns", 0, abcd,
         "select 0,0,3,0 copy deselect paste move 306,80",
         {{0x0400 + 438, 0x41}, {0x0400 + 439, 0x42}, {0x0400 + 440, 0x20}}, "textmode paste block", 1},
        {"the earlier preview goes", 0, abcd, "select 0,0,3,0 copy deselect paste move 306,80 move 40,24",
         {{0x0400 + 438, 0x20}, {0x0400 + 125, 0x41}}, "textmode paste block", 1},
        {"a click places it", 0, abcd, "select 0,0,3,0 copy deselect paste move 40,24 move 304,199 press 304,192,0",
         {{0x0400 + 998, 0x41}, {0x0400 + 999, 0x42}, {0x0400 + 125, 0x20}}, "textmode paste block", 1},
        {"a placed paste undone", 0, abcd, "select 0,0,3,0 copy deselect paste move 304,199 press 304,192,0 undo",
         {}, "", 0},
        {"button 1 drops a float, the paste step stays", 3, pattern,
         "select 3,3,8,6 copy paste move 100,100 press 100,100,1", {}, "hires paste block", 1},
        {"cancel, cancel again, commit", 3, pattern, "select 3,3,8,6 copy paste move 200,150 cancel cancel commit", {},
         "hires paste block", 1},
        {"a text block pasted in hires leaves the bitmap", 0,
         {{0x0400, 0x55}, {0xD800, 0x0E}, {0x2CD0, 0x3C}, {0x2CD7, 0x3C}},
         "select 0,0,0,0 copy mode 3 deselect paste move 80,80 commit",
         {{0x0400 + 410, 0x55}, {0xD800 + 410, 0x0E}, {0x2CD0, 0x3C}, {0x2CD7, 0x3C}}, "hires paste block", 1},
        {"typing over a float", 0, cell0, floating + "type 33" + moveOn, {{0x0400, 0x33}, {0x0400 + 410, 0x51}}},
        {"delete over a float", 0, cell0, floating + "delete" + moveOn, {{0x0400, 0x20}, {0x0400 + 410, 0x51}}},
        {"char paste over a float", 0, cell0, floating + "paste-char" + moveOn, {{0x0400, 0x44}, {0x0400 + 410, 0x51}}},
        {"cell colour over a float", 0, cell0, floating + "cell-colour 3,9" + moveOn, {{0xD800, 9}, {0x0400 + 410, 0x51}}},
        {"clear over a float", 0, cell0, floating + "clear 3,77" + moveOn, {{0x0400 + 999, 0x77}, {0x0400 + 410, 0x77}}},
        {"invert over a float: the placed paste is the selection", 0, cell0, floating + "invert" + moveOn,
         {{0x0400 + 410, 0x51 ^ 0x80}, {0x0400 + 411, 0x20}}},
        {"cut over a float", 0, cell0, floating + "cut" + moveOn, {{0x0400 + 410, 0x20}}},
        {"a second paste over a float", 0, cell0, floating + "paste" + moveOn,
         {{0x0400 + 410, 0x51}, {0x0400 + 420, 0x20}}},
        {"undo over a float", 0, cell0, floating + "undo" + moveOn, {{0x0400 + 410, 0x20}}},
        {"a step captured but not stored leaves the float", 0, cell0, floating + "capture" + moveOn,
         {{0x0400, 0x51}, {0x0400 + 410, 0x20}}},
        {"a load over a settled float", 0, cell0, floating + "settle poke 400=66 poke 59A=66" + moveOn,
         {{0x0400, 0x66}, {0x0400 + 410, 0x66}}},
        {"the screen moved under a float", 0, cell0, floating + "vic 18=24" + moveOn,
         {{0x0800 + 410, 0x33}, {0x0800 + 420, 0x33}}},
    });
    // Shift turns Down into up and Right into left; moves wrap around the screen; backspace at column 0 only
    // moves; unknown keys do nothing. Each changes no byte and records no step.
    const std::tuple<const char*, int, int> moves[] = {
        {"cursor 0,0 up", 0, 24},   {"cursor 0,24 down", 0, 0},   {"cursor 0,0 shift+down", 0, 24},
           {"cursor 0,24 shift+up", 0, 0},    {"cursor 0,0 left", 39, 0},
        {"cursor 39,0 right", 0, 0}, {"cursor 0,0 shift+right", 39, 0}, {"cursor 39,0 shift+left", 0, 0},
           {"cursor 17,24 return", 0, 0},   {"cursor 17,9 return", 0, 10},
        {"cursor 17,9 home", 0, 9}, {"cursor 17,9 shift+home", 0, 0},  {"cursor 17,9 editkey 0 shift+editkey 10", 17, 9},
         {"cursor 0,0 backspace", 39, 0},    {"cursor 0,7 backspace", 39, 6}};
    std::vector<Scenario> rows;
    for (auto [keys, col, row] : moves) rows.push_back({keys, 0, {}, keys, {}, "", 0, {col, row}});
    play(rows);
}

// Every mode and value over a screen of $41 in colour 7 and a pattern of $77.
TEST_F(EditorTextTest, ClearScreen) {
    const Pokes text{{0x0400, 0x41}, {0x07E7, 0x41}, {0x07E8, 0x41}, {0xD800, 7}, {0xDBE7, 7}};
    const Pokes hires{{0x2000, 0x77}, {0x3FFF, 0x77}, {0x0400, 0x41}, {0x07E7, 0x41}, {0xD800, 7}};
    const Pokes top{{0xFFFF, 0x77}, {0xDC00, 0x41}, {0xDFE7, 0x41}, {0xD800, 7}, {0xDBE7, 7}, {0xDBE8, 0x55}};
    play({
        {"text: spaces in colour 0, nothing past the screen", 0, text, "pen 4 vic 21=6 cursor 9,9 clear 0,0",
         {{0x0400, 0x20}, {0x07E7, 0x20}, {0x07E8, 0x41}, {0xD800, 0}, {0xDBE7, 0}}, "textmode clear", 1, {0, 0}},
        {"extended background text: a value's low byte", 2, text, "clear 3,1234", {{0x0400, 0x34}, {0xDBE7, 0x34}},
         "textmode clear", 1},
        {"hires: the pen on the background, colour RAM kept", 3, hires, "pen 4 vic 21=6 clear 0,0",
         {{0x2000, 0}, {0x3FFF, 0}, {0x0400, 0x46}, {0x07E7, 0x46}, {0xD800, 7}}, "hires clear", 1},
        {"hires: ones", 3, hires, "clear 2,0", {{0x3FFF, 0xFF}, {0x0400, 0xFF}, {0xD800, 7}}, "hires clear", 1},
        {"multicolour at the top of bank 3: colour RAM too", 4, top, "bank 3 vic 18=78 clear 1,0",
         {{0xFFFF, 0}, {0xDC00, 0}, {0xD800, 0}, {0xDBE8, 0x55}}, "multicolor clear", 1},
        {"multicolour: a value", 4, top, "bank 3 vic 18=78 clear 3,AB",
         {{0xFFFF, 0xAB}, {0xDFE7, 0xAB}, {0xDBE7, 0xAB}, {0xDBE8, 0x55}}, "multicolor clear", 1},
        {"an unknown way", 0, text, "cursor 9,9 clear 4,0", {}, "", 0, {9, 9}},
    });
    const struct { int mode, bank; u8 d018; const char* text; } descriptions[] = {
        {0, 0, 0x14, "Videomem at $0400 - $07E7 (1000 bytes)\nColormem at $D800 - $DBE7 (1000 bytes)\n"},
        {3, 0, 0x18, "Videomem at $0400 - $07E7 (1000 bytes)\nBitmapmem at $2000 - $3FFF (8192 bytes)\n"},
        {4, 3, 0x78, "Videomem at $DC00 - $DFE7 (1000 bytes)\nBitmapmem at $E000 - $FFFF (8192 bytes)\n"
                     "Colormem at $D800 - $DBE7 (1000 bytes)\n"},
    };
    for (const auto& d : descriptions) {
        m->setGfxMode(d.mode);
        m->bank = u16(d.bank);
        m->vic[MemoryPointers] = d.d018;
        EXPECT_EQ(e.clearDescription(), "This will erase:\n" + std::string(d.text));
    }
}

TEST_F(EditorTextTest, CellColours) {
    m->ram[0x0400 + 41] = 0xC1;  // cell (1, 1)
    m->ram[0xD800 + 41] = 0xF9;
    m->ram[0xD800 + 960] = 5;  // cell (0, 24)
    for (int r = 0; r < 4; ++r) m->vic[Background0 + r] = u8(0xF0 | (r + 1));
    // Mode 2 with the multicolour bit also set shows the multicolour slots; -1: no such slot. Pointer
    // positions outside the screen are clamped, here to cell (0, 24).
    const struct { int mode; bool multicolourBit; int x, y; std::array<int, 4> want; } rows[] = {
        {0, false, 8, 8, {1, -1, -1, 9}}, {1, false, 8, 8, {1, 2, 3, 9}},    {2, false, 8, 8, {4, -1, -1, 9}},
        {2, true, 8, 8, {4, 2, 3, 9}},    {3, false, 8, 8, {-1, 12, 1, -1}}, {4, false, 8, 8, {1, 12, 1, 9}},
        {0, false, -100, 5000, {1, -1, -1, 5}}};
    for (const auto& r : rows) {
        m->setGfxMode(r.mode);
        if (r.multicolourBit) m->vic[Control2] |= Control2Mcm;
        std::array<int, 4> out;
        e.cellColors(r.x, r.y, out.data());
        EXPECT_EQ(out, r.want) << r.mode << " " << r.x;
    }
    // Setting them: the cell's background register in extended background mode, screen nibbles and
    // colour RAM in multicolour, nothing for a slot the mode lacks; no undo step of their own.
    // 0x81: background register 2.
    const Pokes cell{{0x0400, 0x81}, {vic(Background0), 1}, {vic(Background1), 2}, {vic(Background2), 3}};
    play({
        {"extended background", 2, cell, "cell-colour 0,9", {{vic(Background2), 9}, {vic(Background0), 1}}, "", 0},
        {"no such slots", 2, cell, "cell-colour 1,5 cell-colour 2,6 cell-colour 4,5 cell-colour -1,5",
         {{0x0400, 0x81}, {0xD800, 0}, {vic(Background0), 1}, {vic(Background1), 2}, {vic(Background2), 3}}, "", 0},
        {"multicolour bitmap", 4, cell, "cell-colour 1,21 cell-colour 2,7 cell-colour 3,42 cell-colour 0,3",
         {{0x0400, 0x57}, {0xD800, 0x0A}, {vic(Background0), 3}, {vic(Background1), 2}}, "", 0},
        {"multicolour text", 1, cell, "cell-colour 1,5 cell-colour 2,6",
         {{vic(Background1), 5}, {vic(Background2), 6}, {vic(Background0), 1}, {0xD800, 0}}, "", 0},
        // Stepped from the keys or the status bar: one undo step each, which brings the colours back.
        {"stepped", 4, cell, "cycle-colour 0,1 cycle-colour 3,-1 cycle-colour 1,1 cycle-colour 2,-1",
         {{0x0400, 0x90}, {0xD800, 15}, {vic(Background0), 2}}, "multicolor color change", 4},
        {"stepped and undone", 4, cell, "cycle-colour 0,1 cycle-colour 3,-1 cycle-colour 1,-1 undo undo undo",
         {{0x0400, 0x81}, {0xD800, 0}, {vic(Background0), 1}}, "", 0},
        {"stepping a slot the mode lacks", 0, cell, "cycle-colour 1,1", {{vic(Background1), 2}}, "", 0},
    });
    // The pen the character window's Multi mode picks.
    m->setGfxMode(GfxMode::MulticolorText);
    EXPECT_EQ(CharEdit::multiPen(*m, 2), 10);
    m->setGfxMode(GfxMode::MulticolorBitmap);
    EXPECT_EQ(CharEdit::multiPen(*m, 12), 12);
}

}  // namespace
