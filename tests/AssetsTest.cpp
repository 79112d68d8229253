#include "tests/FileTestSupport.h"

namespace {

Bytes readAsset(const std::string& name) { return readBytes(std::string(VORLIX_ASSET_DIR) + "/" + name); }

}  // namespace

TEST(Assets, CharacterRom) {
    const Bytes rom = readAsset("C64Chars.bin");
    ASSERT_EQ(rom.size(), 4096u);
    auto glyph = [&](int half, int code) {
        const auto at = rom.begin() + half * 2048 + code * 8;
        return Bytes(at, at + 8);
    };
    // Quadrant blocks as upper-left, upper-right, lower-left, lower-right; reversed ones fill the rest.
    const std::pair<int, int> quadrants[] = {{108, 1}, {123, 2}, {124, 4}, {126, 8}, {127, 9}, {97, 10}, {98, 3}, {236, 14}, {255, 6}};
    for (int half = 0; half < 2; ++half) {
        std::set<Bytes> seen;
        for (int c = 0; c < 256; ++c) {
            // Space and reversed space are the first blank and solid cells: picture import looks for them.
            if (c <= 32) { EXPECT_EQ(glyph(half, c) == Bytes(8, 0), c == 32) << half << " " << c; }
            if (c <= 160) { EXPECT_EQ(glyph(half, c) == Bytes(8, 0xFF), c == 160) << half << " " << c; }
            if (c < 64) { EXPECT_TRUE(seen.insert(glyph(half, c)).second) << half << " " << c; }
            for (int r = 0; c < 128 && r < 8; ++r) ASSERT_EQ(glyph(half, c + 128)[r], u8(~glyph(half, c)[r])) << c;
        }
        for (auto [code, mask] : quadrants)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    EXPECT_EQ((glyph(half, code)[y] >> (7 - x)) & 1, (mask >> (3 - (y / 4) * 2 - x / 4)) & 1) << code;
    }
    const Bytes checker = glyph(0, 102);
    for (int r = 0; r < 8; ++r) EXPECT_EQ(checker[r], u8(r & 1 ? ~checker[0] : checker[0])) << r;
    EXPECT_TRUE(checker[0] == 0xAA || checker[0] == 0x55);
    // The second half: lower case letters unlike any capital, capitals moved up 64, the rest alike.
    for (int c = 0; c < 128; ++c) {
        const bool lower = c >= 1 && c <= 26, moved = c >= 65 && c <= 90;
        if (moved) { EXPECT_EQ(glyph(1, c), glyph(0, c - 64)) << c; }
        else if (!lower) { EXPECT_EQ(glyph(1, c), glyph(0, c)) << c; }
        for (int d = 1; lower && d <= 26; ++d) EXPECT_NE(glyph(1, c), glyph(0, d)) << c << " " << d;
    }
}

TEST(Assets, PowerOnMemoryAndIcon) {
    const Bytes ram = readAsset("C64Raw.bin");
    ASSERT_EQ(ram.size(), 65536u);
    // Letters, digits and signs in the first six rows, blanks after; light blue colour RAM.
    int nonBlank = 0;
    for (int a = 0x0400; a < 0x0400 + 6 * 40; ++a) {
        ASSERT_LT(ram[a], 64) << std::hex << a;
        nonBlank += ram[a] != 0x20;
    }
    EXPECT_GT(nonBlank, 10);
    EXPECT_EQ(std::set<u8>(ram.begin() + 0x0400 + 6 * 40, ram.begin() + 0x07E8), std::set<u8>{0x20});
    EXPECT_EQ(std::set<u8>(ram.begin() + 0xD800, ram.begin() + 0xDBE8), std::set<u8>{14});
    // Mostly drawn, but the corners stay transparent so the window icon is not a square.
    int w = 0, h = 0;
    const std::vector<u32> px = decode(readAsset("icon.png"), w, h);
    std::set<u32> colours;
    for (u32 p : px)
        if (p >> 24 == 255) colours.insert(p);
    const long opaque = std::count_if(px.begin(), px.end(), [](u32 p) { return p >> 24 == 255; });
    EXPECT_EQ(w * 100 + h, 3232);
    EXPECT_TRUE(opaque > w * h / 2 && opaque < w * h) << opaque;
    EXPECT_GT(colours.size(), 3u);
}

TEST(Assets, ToolbarGlyphs) {
    std::vector<std::vector<u32>> seen;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(VORLIX_ASSET_DIR) + "/glyphs")) {
        const std::string name = entry.path().filename().string();
        const Bytes file = readAsset("glyphs/" + name);
        // Uncompressed 24-bit BMP, small enough for the toolbar's 23 x 22 buttons.
        ASSERT_GT(file.size(), 54u) << name;
        EXPECT_TRUE(file[0] == 'B' && file[1] == 'M' && file[28] == 24 && !file[30] && !file[31] && !file[32] && !file[33]) << name;
        int w = 0, h = 0;
        std::vector<u32> px = decode(file, w, h);
        ASSERT_FALSE(px.empty()) << name;
        EXPECT_TRUE(w >= 8 && w <= 22 && h >= 8 && h <= 22) << name;
        // The bottom-left colour is the key: at least a row of it, and some pixels drawn.
        const u32 key = px[size_t(h - 1) * w];
        const long keyed = std::count(px.begin(), px.end(), key);
        std::replace(px.begin(), px.end(), key, 0u);
        EXPECT_GE(keyed, w) << name;
        EXPECT_GT(long(px.size()) - keyed, 3) << name;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), px), 0) << name;
        seen.push_back(px);
    }
    EXPECT_EQ(seen.size(), 20u);
}
