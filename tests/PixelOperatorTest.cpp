#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "core/Machine.h"
#include "core/PixelOperator.h"

namespace {

struct PixelOperatorTest : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    PixelOperator p{*m};

    void SetUp() override { m->reset(); }

    void bitmapMode(bool multi) {
        m->setGfxMode(multi ? 4 : 3);  // bitmap at $2000, screen at $0400
        std::memset(m->ram + 0x2000, 0, 8000);
        std::memset(m->ram + 0x0400, 0, 1000);
        std::memset(m->ram + 0xD800, 0, 1000);
        m->vic[0x21] = 0;
    }
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

TEST_F(PixelOperatorTest, TextQuadrants) {
    m->ram[0x0400] = 0x01;
    m->pen = 7;
    p.SetPixel(0, 0, false);
    EXPECT_EQ(m->ram[0x0400], 0x7E);
    EXPECT_EQ(m->ram[0xD800], 7);
    p.SetPixel(1, 0, false);
    EXPECT_EQ(m->ram[0x0400], 0xE2);  // mask 12
    p.SetPixel(0, 1, false);
    p.SetPixel(1, 1, false);
    EXPECT_EQ(m->ram[0x0400], 0xE0);
    p.SetPixel(0, 0, true);
    p.SetPixel(1, 0, true);
    p.SetPixel(0, 1, true);
    EXPECT_EQ(m->ram[0x0400], 0x6C);  // bottom-right only
    m->pen = 3;
    p.SetPixel(1, 1, true);
    EXPECT_EQ(m->ram[0x0400], 0x20);
    EXPECT_EQ(m->ram[0xD800], 3);  // erasing recolours too
}

TEST_F(PixelOperatorTest, TextTableRoundTripsEveryMask) {
    for (int mask = 0; mask < 16; ++mask) {
        EXPECT_EQ(PixelOperator::textMask(PixelOperator::textpixtab[mask]), mask);
        m->ram[0x0400 + 41] = PixelOperator::textpixtab[mask];
        m->ram[0xD800 + 41] = 5;
        m->vic[0x21] = 6;
        // Cell (1, 1) covers mode pixels (2..3, 2..3).
        EXPECT_EQ(p.GetPixel(2, 2), (mask & 8) ? 5 : 6);
        EXPECT_EQ(p.GetPixel(3, 2), (mask & 4) ? 5 : 6);
        EXPECT_EQ(p.GetPixel(2, 3), (mask & 2) ? 5 : 6);
        EXPECT_EQ(p.GetPixel(3, 3), (mask & 1) ? 5 : 6);
    }
    EXPECT_EQ(PixelOperator::textMask(0x01), 0);
    EXPECT_EQ(PixelOperator::textMask(0x20), 0);
}

TEST_F(PixelOperatorTest, TextGridBoundsAndOtherTextModes) {
    Bytes before(m->ram, m->ram + 65536);
    p.SetPixel(80, 0, false);
    p.SetPixel(0, 50, false);
    p.SetPixel(-1, 3, false);
    EXPECT_EQ(Bytes(m->ram, m->ram + 65536), before);
    EXPECT_EQ(p.GetPixel(80, 0), 255);
    EXPECT_EQ(p.GetPixel(0, -1), 255);
    m->setGfxMode(2);
    m->pen = 9;
    p.SetPixel(79, 49, false);
    EXPECT_EQ(m->ram[0x0400 + 999], 0x6C);
    EXPECT_EQ(p.GetPixel(79, 49), 9);
    m->setGfxMode(1);
    EXPECT_EQ(p.GetPixel(79, 49), 9);
}

TEST_F(PixelOperatorTest, HiresSetsBitAndCellColours) {
    bitmapMode(false);
    m->vic[0x21] = 0x36;  // high bits of the register are ignored
    m->pen = 2;
    p.SetPixel(9, 10, false);
    // Cell (1, 1), row 2, bit 6.
    EXPECT_EQ(m->ram[0x2000 + 320 + 8 + 2], 0x40);
    EXPECT_EQ(m->ram[0x0400 + 41], 0x26);
    EXPECT_EQ(p.GetPixel(9, 10), 2);
    EXPECT_EQ(p.GetPixel(8, 10), 6);
    m->pen = 11;
    p.SetPixel(9, 10, true);
    EXPECT_EQ(m->ram[0x2000 + 320 + 8 + 2], 0x00);
    EXPECT_EQ(m->ram[0x0400 + 41], 0xB6);
    p.SetPixel(319, 199, false);
    EXPECT_EQ(m->ram[0x2000 + 7999], 0x01);
    EXPECT_EQ(p.GetPixel(-1, 0), 255);
    EXPECT_EQ(p.GetPixel(320, 0), 255);
    EXPECT_EQ(p.GetPixel(0, 200), 255);
}

TEST_F(PixelOperatorTest, MulticolourBackgroundNeedsNoSlot) {
    bitmapMode(true);
    m->vic[0x21] = 4;
    m->ram[0x0400] = 0x12;
    m->ram[0xD800] = 3;
    m->ram[0x2000] = 0xFF;
    p.noNewColours = true;
    m->pen = 4;
    p.SetPixel(1, 0, false);
    EXPECT_EQ(m->ram[0x2000], 0xCF);
    EXPECT_EQ(m->ram[0x0400], 0x12);
    EXPECT_EQ(m->ram[0xD800], 3);
    EXPECT_FALSE(p.warning);
}

TEST_F(PixelOperatorTest, MulticolourReusesExistingSlots) {
    bitmapMode(true);
    m->ram[0x0400] = 0x57;
    m->ram[0xD800] = 0xF2;  // only the low nibble counts
    m->vic[0x21] = 0x10;
    struct { int pen, slot; } cases[] = {{0, 0}, {2, 3}, {5, 1}, {7, 2}};
    for (auto c : cases) {
        m->pen = c.pen;
        p.SetPixel(2, 3, false);
        EXPECT_EQ((m->ram[0x2003] >> 2) & 3, c.slot) << c.pen;
        EXPECT_EQ(p.GetPixel(2, 3), c.pen);
    }
    EXPECT_EQ(m->ram[0x0400], 0x57);
    EXPECT_EQ(m->ram[0xD800], 0xF2);
}

TEST_F(PixelOperatorTest, MulticolourSlotsInMultipleMatchesOrder) {
    bitmapMode(true);
    // Colour in both the colour RAM and the screen byte: colour RAM wins.
    m->ram[0x0400] = 0x33;
    m->ram[0xD800] = 3;
    m->pen = 3;
    p.SetPixel(0, 0, false);
    EXPECT_EQ(m->ram[0x2000] >> 6, 3);
    // High nibble before low nibble.
    m->ram[0xD800] = 1;
    m->ram[0x2000] = 0;
    p.SetPixel(0, 0, false);
    EXPECT_EQ(m->ram[0x2000] >> 6, 1);
}

TEST_F(PixelOperatorTest, MulticolourFreeSlotOrder) {
    bitmapMode(true);
    m->ram[0x0400] = 0x11;
    m->ram[0xD800] = 1;
    m->pen = 5;
    p.SetPixel(0, 0, false);
    m->pen = 7;
    p.SetPixel(1, 0, false);
    m->pen = 2;
    p.SetPixel(2, 0, false);
    EXPECT_EQ(m->ram[0x0400], 0x57);
    EXPECT_EQ(m->ram[0xD800], 2);
    EXPECT_EQ(m->ram[0x2000], 0x6C);  // pairs 01 10 11 00
    EXPECT_EQ(p.GetPixel(0, 0), 5);
    EXPECT_EQ(p.GetPixel(1, 0), 7);
    EXPECT_EQ(p.GetPixel(2, 0), 2);
    EXPECT_EQ(p.GetPixel(3, 0), 0);
    EXPECT_FALSE(p.warning);
}

TEST_F(PixelOperatorTest, MulticolourRefusesFourthColour) {
    bitmapMode(true);
    p.noNewColours = true;
    m->ram[0x0400] = 0x57;
    m->ram[0xD800] = 2;
    m->ram[0x2000] = 0x6C;
    m->pen = 9;
    p.SetPixel(3, 0, false);
    EXPECT_EQ(m->ram[0x2000], 0x6C);
    EXPECT_EQ(m->ram[0x0400], 0x57);
    EXPECT_EQ(m->ram[0xD800], 2);
    EXPECT_TRUE(p.warning);
    // The flag stays up until someone takes it.
    m->pen = 5;
    p.SetPixel(3, 0, false);
    EXPECT_TRUE(p.warning);
}

TEST_F(PixelOperatorTest, MulticolourLeastUsedSlotIsReplaced) {
    bitmapMode(true);
    m->ram[0x0400] = 0x57;
    m->ram[0xD800] = 2;
    fillCell0(3, 10, 19);
    m->pen = 9;
    // The pixel at pair 0 of row 0 is a slot-1 pixel; pixel (0, 7) is slot 3.
    p.SetPixel(3, 7, false);
    EXPECT_EQ(m->ram[0x0400], 0x97);
    EXPECT_EQ(p.GetPixel(0, 0), 9);  // former colour 5 pixels recoloured
    EXPECT_EQ(p.GetPixel(3, 7), 9);
    EXPECT_EQ(m->ram[0xD800], 2);

    fillCell0(10, 3, 19);
    m->ram[0x0400] = 0x57;
    p.SetPixel(3, 7, false);
    EXPECT_EQ(m->ram[0x0400], 0x59);

    fillCell0(10, 19, 3);
    m->ram[0x0400] = 0x57;
    p.SetPixel(0, 0, false);
    EXPECT_EQ(m->ram[0xD800], 9);
    EXPECT_EQ(m->ram[0x0400], 0x57);
}

TEST_F(PixelOperatorTest, MulticolourTiesGoToColourRam) {
    bitmapMode(true);
    m->ram[0x0400] = 0x57;
    m->ram[0xD800] = 2;
    fillCell0(5, 5, 22);
    m->pen = 9;
    p.SetPixel(0, 0, false);
    EXPECT_EQ(m->ram[0x0400], 0x57);
    EXPECT_EQ(m->ram[0xD800], 9);
    EXPECT_EQ(m->ram[0x2000] >> 6, 3);
}

TEST_F(PixelOperatorTest, MulticolourEraseKeepsColours) {
    bitmapMode(true);
    m->ram[0x2000 + 320 * 24 + 39 * 8 + 7] = 0xFF;
    m->ram[0x0400 + 999] = 0x12;
    m->ram[0xD800 + 999] = 3;
    m->pen = 9;
    p.SetPixel(159, 199, true);
    EXPECT_EQ(m->ram[0x2000 + 7999], 0xFC);
    EXPECT_EQ(m->ram[0x0400 + 999], 0x12);
    EXPECT_EQ(m->ram[0xD800 + 999], 3);
    EXPECT_EQ(p.GetPixel(159, 199), 0);
    EXPECT_EQ(p.GetPixel(158, 199), 3);
    EXPECT_EQ(p.GetPixel(160, 0), 255);
    EXPECT_EQ(p.GetPixel(0, 200), 255);
}

TEST_F(PixelOperatorTest, GridFollowsRegistersOnEveryCall) {
    m->bank = 3;
    m->vic[0x18] = 0x08;  // screen $C000, bitmap $E000
    m->vic[0x11] |= 0x20;
    m->pen = 1;
    p.SetPixel(319, 0, false);
    EXPECT_EQ(m->ram[0xE000 + 39 * 8], 0x01);
    EXPECT_EQ(m->ram[0xC000 + 39], 0x16);
    m->vic[0x16] |= 0x10;
    EXPECT_EQ(p.GetPixel(159, 0), 1);  // pair %01: the screen byte's high nibble
    EXPECT_EQ(p.GetPixel(160, 0), 255);
}

}  // namespace
