#include <gtest/gtest.h>
#include <stb_image.h>

#include <array>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/Types.h"
#include "tests/FileTestSupport.h"

namespace {

Bytes readAsset(const std::string& name) { return readBytes(std::string(VORLIX_ASSET_DIR) + "/" + name); }

// RGBA pixels of a decoded picture, empty when it does not decode.
std::vector<u32> decode(const Bytes& file, int& w, int& h) {
    int n = 0;
    unsigned char* p = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, 4);
    std::vector<u32> px;
    for (int i = 0; p && i < w * h; ++i) px.push_back(p[i * 4] | p[i * 4 + 1] << 8 | p[i * 4 + 2] << 16 | u32(p[i * 4 + 3]) << 24);
    stbi_image_free(p);
    return px;
}

}  // namespace

TEST(Assets, CharacterRom) {
    const Bytes rom = readAsset("C64Chars.bin");
    ASSERT_EQ(rom.size(), 4096u);
    using Pattern = std::array<u8, 8>;
    auto glyph = [&](int half, int code) {
        Pattern p{};
        for (int r = 0; r < 8; ++r) p[r] = rom[half * 2048 + code * 8 + r];
        return p;
    };
    const Pattern blank{}, solid{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Quadrant blocks as upper-left, upper-right, lower-left, lower-right; reversed ones fill the rest.
    const std::pair<int, int> quadrants[] = {{108, 1}, {123, 2}, {124, 4}, {126, 8}, {127, 9}, {97, 10}, {98, 3}, {236, 14}, {255, 6}};
    for (int half = 0; half < 2; ++half) {
        std::set<Pattern> seen;
        for (int c = 0; c < 256; ++c) {
            // Space and reversed space are the first blank and solid cells: picture import looks for them.
            if (c <= 32) { EXPECT_EQ(glyph(half, c) == blank, c == 32) << half << " " << c; }
            if (c <= 160) { EXPECT_EQ(glyph(half, c) == solid, c == 160) << half << " " << c; }
            if (c < 64) { EXPECT_TRUE(seen.insert(glyph(half, c)).second) << half << " " << c; }
            for (int r = 0; c < 128 && r < 8; ++r) ASSERT_EQ(glyph(half, c + 128)[r], u8(~glyph(half, c)[r])) << c;
        }
        for (auto [code, mask] : quadrants)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    EXPECT_EQ((glyph(half, code)[y] >> (7 - x)) & 1, (mask >> (3 - (y / 4) * 2 - x / 4)) & 1) << code;
    }
    const Pattern checker = glyph(0, 102);
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
    int nonBlank = 0;
    for (int a = 0x0400; a < 0x0400 + 6 * 40; ++a) {
        EXPECT_LT(ram[a], 64) << "not a letter, digit or sign at " << std::hex << a;
        nonBlank += ram[a] != 0x20;
    }
    EXPECT_GT(nonBlank, 10);
    for (int a = 0x0400 + 6 * 40; a <= 0x07E7; ++a) ASSERT_EQ(ram[a], 0x20) << std::hex << a;
    for (int a = 0xD800; a <= 0xDBE7; ++a) ASSERT_EQ(ram[a], 14) << std::hex << a;
    // The self-test's monitor fill writes $42 here and checks where it stopped.
    for (int a = 0xC000; a <= 0xC1FF; ++a) ASSERT_NE(ram[a], 0x42) << std::hex << a;

    int w = 0, h = 0, opaque = 0;
    std::set<u32> colours;
    for (u32 p : decode(readAsset("icon.png"), w, h))
        if (p >> 24 == 255) {
            ++opaque;
            colours.insert(p);
        }
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    // Mostly drawn, but the corners stay transparent so the window icon is not a square.
    EXPECT_GT(opaque, w * h / 2);
    EXPECT_LT(opaque, w * h);
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
        int keyed = 0;
        for (u32& p : px) {
            keyed += p == key;
            if (p == key) p = 0;
        }
        EXPECT_GE(keyed, w) << name;
        EXPECT_GT(int(px.size()) - keyed, 3) << name;
        for (const auto& other : seen) EXPECT_NE(other, px) << name;
        seen.push_back(px);
    }
    EXPECT_EQ(seen.size(), 20u);
}
