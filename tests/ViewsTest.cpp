#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ChangeWatch.h"
#include "core/MemoryBitmap.h"
#include "core/Registers.h"

namespace {

TEST(Registers, TableEndsAndBits) {
    struct Row {
        int index;
        const char* description;
    } rows[] = {{0x00, "Sprite0 X Position"}, {0x18, "Screen and Char Base Address"}, {0x2E, "Sprite7 Color"},
                {47, ""}, {-1, ""}};
    for (const Row& r : rows) EXPECT_STREQ(Registers::description(r.index), r.description) << r.index;
    EXPECT_EQ(Registers::bits(5), "00000101");
}

TEST(MemoryBitmap, SizeAndAddressUnderTheMouse) {
    std::vector<u8> ram(65536);
    ram[0xFFFF] = 0xAB;
    struct Row {
        bool oneBit;
        int width, height, x, y;
        const char* text;
    } rows[] = {
        {false, 320, 205, 255, 204, "Memory position $FFFF (65535) = $AB\nXY: (255, 204)"},
        {false, 320, 205, 256, 204, ""},  // padding past the end of memory
        {true, 320, 1639, 127, 1638, "Memory position $FFFF (65535) bit 0\nXY: (127, 1638)"},
        {true, 320, 1639, 128, 1638, ""},
        {true, 1280, 410, 3, 0, "Memory position $0000 (0) bit 4\nXY: (3, 0)"},
        {true, 160, 3277, 0, 1, "Memory position $0014 (20) bit 7\nXY: (0, 1)"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(MemoryBitmap::height(r.oneBit, r.width), r.height) << r.width;
        EXPECT_EQ(MemoryBitmap::hoverText(ram.data(), r.oneBit, r.width, r.x, r.y), r.text) << r.x << "," << r.y;
    }
}

TEST(MemoryBitmap, PixelsAndWhatTriggersARedraw) {
    std::vector<u8> ram(65536);
    ram[0] = 0x81;
    std::vector<u32> bits(320 * 1639), bytes(320 * 205, 0x12345678);
    MemoryBitmap::render(ram.data(), true, 320, bits.data());
    const u32 w = 0xFFFFFFFF, b = 0xFF000000;
    EXPECT_EQ(std::vector<u32>(bits.begin(), bits.begin() + 8), (std::vector<u32>{w, b, b, b, b, b, b, w}));
    MemoryBitmap::render(ram.data(), false, 320, bytes.data());
    EXPECT_EQ(bytes[0], 0xFF818181u);
    EXPECT_EQ(bytes[204 * 320 + 256], b);  // padding is drawn black
    ChangeWatch watch;
    int setting = 0;
    auto changed = [&] { return watch.changed({{ram.data(), ram.size()}, {&setting, sizeof setting}}); };
    EXPECT_TRUE(changed());
    EXPECT_FALSE(changed());
    ram[0xFFFF] = 1;
    EXPECT_TRUE(changed());
    setting = 1;
    EXPECT_TRUE(changed());
}

}  // namespace
