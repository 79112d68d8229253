#include "core/PixelOperator.h"
#include "tests/EditorTestSupport.h"

namespace {

struct PixelOperatorTest : EditorFixture {
    PixelOperator& p = probe;

    // Fills multicolour cell 0 so that slots 1-3 are used n1, n2, n3 times (n0 = 32 - the rest).
    void fillCell0(int n1, int n2, int n3) {
        auto pairAt = [&](int i) { return i < n1 ? 1 : i < n1 + n2 ? 2 : i < n1 + n2 + n3 ? 3 : 0; };
        for (int row = 0; row < 8; ++row) {
            u8 b = 0;
            for (int pos = 0; pos < 4; ++pos) b = u8(b | (pairAt(row * 4 + pos) << (6 - 2 * pos)));
            m->ram[0x2000 + row] = b;
        }
    }
};

// One cell's quadrants, one after the other: the block characters for masks 8, 12, 15, 1 and none;
// erasing recolours too. The other text modes use the same grid.
TEST_F(PixelOperatorTest, TextQuadrants) {
    m->ram[0x0400] = 0x01;
    const struct {
        int pen, x, y;
        bool erase;
        int screen;  // -1: not looked at
    } rows[] = {{7, 0, 0, false, 0x7E}, {7, 1, 0, false, 0xE2}, {7, 0, 1, false, -1}, {7, 1, 1, false, 0xE0},
                {7, 0, 0, true, -1},    {7, 1, 0, true, -1},    {7, 0, 1, true, 0x6C}, {3, 1, 1, true, 0x20}};
    for (const auto& r : rows) {
        m->pen = r.pen;
        p.SetPixel(r.x, r.y, r.erase);
        if (r.screen >= 0) {
            EXPECT_EQ(m->ram[0x0400], r.screen) << r.x << "," << r.y << " " << r.erase;
        }
        EXPECT_EQ(m->ram[0xD800], r.pen);
    }
    m->setGfxMode(2);
    m->pen = 9;
    p.SetPixel(79, 49, false);
    EXPECT_EQ(m->ram[0x0400 + 999], 0x6C);
    EXPECT_EQ(p.GetPixel(79, 49), 9);
    m->setGfxMode(1);
    EXPECT_EQ(p.GetPixel(79, 49), 9);
    // Every mask of the table reads back quadrant by quadrant: cell (1, 1) covers mode pixels (2..3, 2..3).
    m->setGfxMode(0);
    m->ram[0xD800 + 41] = 5;
    m->vic[0x21] = 6;
    for (int mask = 0; mask < 16; ++mask) {
        EXPECT_EQ(PixelOperator::textMask(PixelOperator::textpixtab[mask]), mask);
        m->ram[0x0400 + 41] = PixelOperator::textpixtab[mask];
        const std::array<int, 4> got{p.GetPixel(2, 2), p.GetPixel(3, 2), p.GetPixel(2, 3), p.GetPixel(3, 3)};
        const std::array<int, 4> want{mask & 8 ? 5 : 6, mask & 4 ? 5 : 6, mask & 2 ? 5 : 6, mask & 1 ? 5 : 6};
        EXPECT_EQ(got, want) << mask;
    }
    EXPECT_EQ(PixelOperator::textMask(0x01), 0);
    EXPECT_EQ(PixelOperator::textMask(0x20), 0);
}

// Outside the mode's grid reads 255 and writes nothing.
TEST_F(PixelOperatorTest, OutsideTheGrid) {
    const int w[5] = {80, 80, 80, 320, 160}, h[5] = {50, 50, 50, 200, 200};
    for (int mode : {0, 3, 4}) {
        m->setGfxMode(mode);
        const Bytes before = ram();
        for (auto [x, y] : {std::pair{w[mode], 0}, {0, h[mode]}, {-1, 3}, {0, -1}}) {
            p.SetPixel(x, y, false);
            p.SetPixel(x, y, true);
            EXPECT_EQ(p.GetPixel(x, y), 255) << mode << " " << x << "," << y;
        }
        EXPECT_EQ(ram(), before) << mode;
    }
}

TEST_F(PixelOperatorTest, HiresAndMulticolourErase) {
    bitmapMode(false, 0);
    m->vic[0x21] = 0x36;  // high bits of the register are ignored
    m->pen = 2;
    p.SetPixel(9, 10, false);  // cell (1, 1), row 2, bit 6
    expectBytes({{0x2000 + 320 + 8 + 2, 0x40}, {0x0400 + 41, 0x26}});
    EXPECT_EQ(p.GetPixel(9, 10), 2);
    EXPECT_EQ(p.GetPixel(8, 10), 6);
    m->pen = 11;
    p.SetPixel(9, 10, true);
    p.SetPixel(319, 199, false);
    expectBytes({{0x2000 + 320 + 8 + 2, 0}, {0x0400 + 41, 0xB6}, {0x2000 + 7999, 0x01}});
    // Multicolour erasing clears the pair and keeps the cell's colours.
    bitmapMode(true, 0);
    poke({{0x2000 + 7999, 0xFF}, {0x0400 + 999, 0x12}, {0xD800 + 999, 3}});
    m->pen = 9;
    p.SetPixel(159, 199, true);
    expectBytes({{0x2000 + 7999, 0xFC}, {0x0400 + 999, 0x12}, {0xD800 + 999, 3}});
    EXPECT_EQ(p.GetPixel(159, 199), 0);
    EXPECT_EQ(p.GetPixel(158, 199), 3);
    // The grid follows the registers on every call: screen $C000, bitmap $E000.
    m->bank = 3;
    m->vic[0x18] = 0x08;
    m->vic[0x16] &= ~0x10;
    m->pen = 1;
    p.SetPixel(319, 0, false);
    expectBytes({{0xE000 + 39 * 8, 0x01}, {0xC000 + 39, 0x10}});
    m->vic[0x16] |= 0x10;
    EXPECT_EQ(p.GetPixel(159, 0), 1);  // pair %01: the screen byte's high nibble
    EXPECT_EQ(p.GetPixel(160, 0), 255);
}

TEST_F(PixelOperatorTest, MulticolourSlots) {
    // A fresh row sets up cell 0 (screen byte, colour RAM, background, first bitmap byte or the
    // use counts of slots 1-3), the others go on from the row before. Background needs no slot;
    // existing slots are reused, colour RAM first, then the high nibble; free slots are taken high
    // nibble, low nibble, colour RAM; a full cell replaces its least used slot, ties going to colour
    // RAM, unless new colours are refused, which raises a warning that stays up.
    const struct {
        bool fresh;
        u8 screen, colourRam, background, byte0;
        int n1, n2, n3;
        bool noNew;
        int pen, x, y;
        u8 wantScreen, wantColourRam;
        int wantPair;
        bool warning;
    } rows[] = {
        {true, 0x12, 3, 4, 0xFF, 0, 0, 0, true, 4, 1, 0, 0x12, 3, 0, false},
        {true, 0x57, 0xF2, 0x10, 0, 0, 0, 0, false, 0, 2, 3, 0x57, 0xF2, 0, false},
        {false, 0, 0, 0, 0, 0, 0, 0, false, 2, 2, 3, 0x57, 0xF2, 3, false},
        {false, 0, 0, 0, 0, 0, 0, 0, false, 5, 2, 3, 0x57, 0xF2, 1, false},
        {false, 0, 0, 0, 0, 0, 0, 0, false, 7, 2, 3, 0x57, 0xF2, 2, false},
        {true, 0x33, 3, 0, 0, 0, 0, 0, false, 3, 0, 0, 0x33, 3, 3, false},
        {true, 0x33, 1, 0, 0, 0, 0, 0, false, 3, 0, 0, 0x33, 1, 1, false},
        {true, 0x11, 1, 0, 0, 0, 0, 0, false, 5, 0, 0, 0x51, 1, 1, false},
        {false, 0, 0, 0, 0, 0, 0, 0, false, 7, 1, 0, 0x57, 1, 2, false},
        {false, 0, 0, 0, 0, 0, 0, 0, false, 2, 2, 0, 0x57, 2, 3, false},
        {true, 0x57, 2, 0, 0x6C, 0, 0, 0, true, 9, 3, 0, 0x57, 2, 0, true},
        {false, 0, 0, 0, 0, 0, 0, 0, true, 5, 3, 0, 0x57, 2, 1, true},
        {true, 0x57, 2, 0, 0, 3, 10, 19, false, 9, 3, 7, 0x97, 2, 1, false},
        {true, 0x57, 2, 0, 0, 10, 3, 19, false, 9, 3, 7, 0x59, 2, 2, false},
        {true, 0x57, 2, 0, 0, 10, 19, 3, false, 9, 0, 0, 0x57, 9, 3, false},
        {true, 0x57, 2, 0, 0, 5, 5, 22, false, 9, 0, 0, 0x57, 9, 3, false},
    };
    int line = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(++line);
        if (r.fresh) {
            bitmapMode(true, 0);
            poke({{0x0400, r.screen}, {0xD800, r.colourRam}, {0x2000, r.byte0}});
            m->vic[0x21] = r.background;
            if (r.n1 + r.n2 + r.n3) fillCell0(r.n1, r.n2, r.n3);
            p.warning = false;
        }
        const u8 first = m->ram[0x2000];
        p.noNewColours = r.noNew;
        m->pen = r.pen;
        p.SetPixel(r.x, r.y, false);
        EXPECT_EQ(m->ram[0x0400], r.wantScreen);
        EXPECT_EQ(m->ram[0xD800], r.wantColourRam);
        EXPECT_EQ((m->ram[0x2000 + r.y] >> (6 - 2 * r.x)) & 3, r.wantPair);
        EXPECT_EQ(p.warning, r.warning);
        if (r.warning && r.fresh) {
            EXPECT_EQ(m->ram[0x2000], first);
        }
        // A slot change recolours every pixel that used it: slot 1 at (0, 0) after a full fill.
        if (!r.warning) {
            EXPECT_EQ(p.GetPixel(r.x, r.y), r.pen);
        }
        if (r.n1 == 3) {
            EXPECT_EQ(p.GetPixel(0, 0), 9);
        }
    }
}

}  // namespace
