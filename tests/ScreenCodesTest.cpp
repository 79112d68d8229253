#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/Machine.h"
#include "core/ScreenCodes.h"

namespace {

TEST(ScreenCodes, Letters) {
    EXPECT_EQ(CharToScreenCode('a'), 1);
    EXPECT_EQ(CharToScreenCode('z'), 26);
    EXPECT_EQ(CharToScreenCode('A'), 65);
    EXPECT_EQ(CharToScreenCode('Z'), 90);
    EXPECT_EQ(CharToScreenCode('@'), 0);
}

TEST(ScreenCodes, Punctuation) {
    EXPECT_EQ(CharToScreenCode('['), 27);
    EXPECT_EQ(CharToScreenCode(0xA3), 28);
    EXPECT_EQ(CharToScreenCode(']'), 29);
    EXPECT_EQ(CharToScreenCode('^'), 30);
    EXPECT_EQ(CharToScreenCode(0x2191), 30);
    EXPECT_EQ(CharToScreenCode('_'), 31);
    EXPECT_EQ(CharToScreenCode(0x2190), 31);
    EXPECT_EQ(CharToScreenCode(' '), 32);
    EXPECT_EQ(CharToScreenCode('0'), 48);
    EXPECT_EQ(CharToScreenCode('?'), 63);
}

TEST(ScreenCodes, NoScreenCode) {
    EXPECT_EQ(CharToScreenCode('\\'), -1);
    EXPECT_EQ(CharToScreenCode('`'), -1);
    EXPECT_EQ(CharToScreenCode('{'), -1);
    EXPECT_EQ(CharToScreenCode(31), -1);
    EXPECT_EQ(CharToScreenCode(127), -1);
    EXPECT_EQ(CharToScreenCode(0), -1);
    EXPECT_EQ(CharToScreenCode(0xE4), -1);
    EXPECT_EQ(CharToScreenCode(0x1F600), -1);
    EXPECT_EQ(CharToScreenCode(0xFFFFFFFFu), -1);
    // Only code points map; the low byte of a large one must not leak through.
    EXPECT_EQ(CharToScreenCode(0x100 + 'a'), -1);
}

TEST(ScreenCodes, EveryCodePointBelow256) {
    for (unsigned c = 0; c < 256; ++c) {
        const int s = CharToScreenCode(c);
        if (s < 0) continue;
        EXPECT_LE(s, 127) << c;
    }
    int mapped = 0;
    for (unsigned c = 0; c < 0x3000; ++c) mapped += CharToScreenCode(c) >= 0;
    // @, 26 + 26 letters, [ pound ] ^ _ and the two arrows, 32-63.
    EXPECT_EQ(mapped, 1 + 26 + 26 + 5 + 2 + 32);
}

std::unique_ptr<Machine> resetMachine() {
    auto m = std::make_unique<Machine>();
    m->reset();
    return m;
}

TEST(CharsetSlot, AfterReset) {
    auto m = resetMachine();
    EXPECT_EQ(CharsetSlotProblem(*m, 0), "It overlaps the video matrix");
    EXPECT_EQ(CharsetSlotProblem(*m, 1), "");
    EXPECT_EQ(CharsetSlotProblem(*m, 2), "The VIC sees the character ROM there");
    EXPECT_EQ(CharsetSlotProblem(*m, 3), "The VIC sees the character ROM there");
    for (int s = 4; s < 8; ++s) EXPECT_EQ(CharsetSlotProblem(*m, s), "") << s;
    EXPECT_EQ(CharsetSlotProblem(*m, 8), "Invalid charset position");
    EXPECT_EQ(CharsetSlotProblem(*m, -1), "Invalid charset position");
    EXPECT_EQ(CharsetSlotProblem(*m, -2147483647 - 1), "Invalid charset position");
}

TEST(CharsetSlot, Bank1HasNoRom) {
    auto m = resetMachine();
    m->bank = 1;
    m->vic[0x18] = 0x14;  // screen $4400
    EXPECT_EQ(CharsetSlotProblem(*m, 2), "");
    EXPECT_EQ(CharsetSlotProblem(*m, 0), "It overlaps the video matrix");
    m->bank = 2;
    EXPECT_EQ(CharsetSlotProblem(*m, 2), "The VIC sees the character ROM there");
}

TEST(CharsetSlot, InvalidBeforeRomBeforeOverlap) {
    auto m = resetMachine();
    m->vic[0x18] = 0x84;  // screen $2000: inside slot 4
    EXPECT_EQ(CharsetSlotProblem(*m, 4), "It overlaps the video matrix");
    m->vic[0x18] = 0x44;  // screen $1000: ROM slot 2 reports the ROM first
    EXPECT_EQ(CharsetSlotProblem(*m, 2), "The VIC sees the character ROM there");
    EXPECT_EQ(CharsetSlotProblem(*m, 9), "Invalid charset position");
}

// The 1000-byte matrix touches the next slot only when it starts in the last
// 999 bytes of a slot, which a 1 KB-aligned matrix never does.
TEST(CharsetSlot, OverlapBoundaries) {
    auto m = resetMachine();
    m->bank = 1;
    for (int screenSlot = 0; screenSlot < 16; ++screenSlot) {
        m->vic[0x18] = u8(screenSlot << 4);
        for (int s = 0; s < 8; ++s) {
            const bool overlap = screenSlot / 2 == s;
            EXPECT_EQ(CharsetSlotProblem(*m, s), overlap ? "It overlaps the video matrix" : "")
                << screenSlot << " " << s;
        }
    }
}

TEST(CharsetSlot, ColourRamInBank3) {
    auto m = resetMachine();
    m->bank = 3;
    m->vic[0x18] = 0x04;  // screen $C000
    EXPECT_EQ(CharsetSlotProblem(*m, 3), "It overlaps the color RAM");  // $D800-$DFFF
    EXPECT_EQ(CharsetSlotProblem(*m, 2), "");                           // $D000-$D7FF
    EXPECT_EQ(CharsetSlotProblem(*m, 4), "");                           // $E000
    EXPECT_EQ(CharsetSlotProblem(*m, 7), "");
    m->vic[0x18] = 0x64;  // screen $D800: the matrix is reported first
    EXPECT_EQ(CharsetSlotProblem(*m, 3), "It overlaps the video matrix");
}

}  // namespace
