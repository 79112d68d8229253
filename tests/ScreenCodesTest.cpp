#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/Machine.h"
#include "core/ScreenCodes.h"

namespace {

TEST(ScreenCodes, CodePoints) {
    // -1: no screen code; only code points map, the low byte of a large one must not leak through.
    const std::pair<unsigned, int> rows[] = {
        {'a', 1},     {'z', 26},  {'A', 65},  {'Z', 90},      {'@', 0},       {'[', 27},     {0xA3, 28},
        {']', 29},    {'^', 30},  {0x2191, 30}, {'_', 31},    {0x2190, 31},   {' ', 32},     {'0', 48},
        {'?', 63},    {'\\', -1}, {'`', -1},  {'{', -1},      {31, -1},       {127, -1},     {0, -1},
        {0xE4, -1},   {0x1F600, -1}, {0xFFFFFFFFu, -1},       {0x100 + 'a', -1}};
    for (auto [c, code] : rows) EXPECT_EQ(CharToScreenCode(c), code) << c;
    int mapped = 0;
    for (unsigned c = 0; c < 0x3000; ++c) mapped += CharToScreenCode(c) >= 0;
    // @, 26 + 26 letters, [ pound ] ^ _ and the two arrows, 32-63.
    EXPECT_EQ(mapped, 1 + 26 + 26 + 5 + 2 + 32);
}

TEST(CharsetSlot, Problems) {
    const std::string matrix = "It overlaps the video matrix", rom = "The VIC sees the character ROM there",
                      colour = "It overlaps the color RAM", invalid = "Invalid charset position";
    // Invalid before ROM before overlaps; the ROM shows in banks 0 and 2 only; colour RAM sits in bank 3.
    const struct {
        u16 bank;
        u8 d018;
        int slot;
        std::string problem;
    } rows[] = {
        {0, 0x14, 0, matrix}, {0, 0x14, 1, ""},       {0, 0x14, 2, rom},          {0, 0x14, 3, rom},
        {0, 0x14, 4, ""},     {0, 0x14, 7, ""},       {0, 0x14, 8, invalid},      {0, 0x14, -1, invalid},
        {0, 0x14, -2147483647 - 1, invalid},          {1, 0x14, 2, ""},           {1, 0x14, 0, matrix},
        {2, 0x14, 2, rom},    {0, 0x84, 4, matrix},   {0, 0x44, 2, rom},          {0, 0x44, 9, invalid},
        {3, 0x04, 3, colour}, {3, 0x04, 2, ""},       {3, 0x04, 4, ""},           {3, 0x04, 7, ""},
        {3, 0x64, 3, matrix},
    };
    auto m = std::make_unique<Machine>();
    m->reset();
    for (const auto& r : rows) {
        m->bank = r.bank;
        m->vic[0x18] = r.d018;
        EXPECT_EQ(CharsetSlotProblem(*m, r.slot), r.problem) << r.bank << " " << int(r.d018) << " " << r.slot;
    }
    // The 1000-byte matrix touches the next slot only when it starts in the last
    // 999 bytes of a slot, which a 1 KB-aligned matrix never does.
    m->bank = 1;
    for (int screenSlot = 0; screenSlot < 16; ++screenSlot) {
        m->vic[0x18] = u8(screenSlot << 4);
        for (int s = 0; s < 8; ++s)
            EXPECT_EQ(CharsetSlotProblem(*m, s), screenSlot / 2 == s ? matrix : "") << screenSlot << " " << s;
    }
}

}  // namespace
