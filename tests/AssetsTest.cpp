#include <gtest/gtest.h>
#include <stb_image.h>

#include <array>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/Types.h"

namespace {

Bytes readAsset(const std::string& name) {
    std::ifstream in(std::string(VORLIX_ASSET_DIR) + "/" + name, std::ios::binary);
    if (!in) return {};
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Pattern = std::array<u8, 8>;

Pattern glyph(const Bytes& rom, int half, int code) {
    Pattern p{};
    for (int r = 0; r < 8; ++r) p[r] = rom[half * 2048 + code * 8 + r];
    return p;
}

bool blank(const Pattern& p) {
    for (u8 b : p)
        if (b) return false;
    return true;
}

bool full(const Pattern& p) {
    for (u8 b : p)
        if (b != 0xFF) return false;
    return true;
}

// Quadrants as (left, top) corners of a 4x4 square; each one must be all set or all clear.
void expectQuadrants(const Bytes& rom, int half, int code, bool ul, bool ur, bool ll, bool lr) {
    Pattern p = glyph(rom, half, code);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool set = (p[y] >> (7 - x)) & 1;
            bool want = y < 4 ? (x < 4 ? ul : ur) : (x < 4 ? ll : lr);
            EXPECT_EQ(set, want) << "half " << half << " code " << code << " pixel " << x << "," << y;
        }
}

class AssetsRom : public ::testing::Test {
protected:
    void SetUp() override {
        rom = readAsset("C64Chars.bin");
        ASSERT_EQ(rom.size(), 4096u);
    }
    Bytes rom;
};

}  // namespace

TEST_F(AssetsRom, SpaceIsTheFirstBlankPatternInEachHalf) {
    for (int half = 0; half < 2; ++half) {
        for (int c = 0; c < 32; ++c) EXPECT_FALSE(blank(glyph(rom, half, c))) << "half " << half << " code " << c;
        EXPECT_TRUE(blank(glyph(rom, half, 32))) << "half " << half;
    }
}

TEST_F(AssetsRom, UpperCodesAreTheInverseOfLowerCodes) {
    for (int half = 0; half < 2; ++half)
        for (int c = 0; c < 128; ++c)
            for (int r = 0; r < 8; ++r)
                ASSERT_EQ(rom[half * 2048 + (c + 128) * 8 + r], u8(~rom[half * 2048 + c * 8 + r]))
                    << "half " << half << " code " << c << " row " << r;
}

TEST_F(AssetsRom, ReversedSpaceIsTheFirstSolidPattern) {
    // A picture import must find the reversed space as the solid cell.
    for (int half = 0; half < 2; ++half) {
        for (int c = 0; c < 160; ++c) EXPECT_FALSE(full(glyph(rom, half, c))) << "half " << half << " code " << c;
        EXPECT_TRUE(full(glyph(rom, half, 160)));
    }
}

TEST_F(AssetsRom, LettersDigitsAndPunctuationAreDistinct) {
    for (int half = 0; half < 2; ++half) {
        std::set<Pattern> seen;
        for (int c = 0; c < 64; ++c)
            EXPECT_TRUE(seen.insert(glyph(rom, half, c)).second) << "half " << half << " code " << c;
    }
}

TEST_F(AssetsRom, SecondHalfHasLowerCaseAndMovedCapitals) {
    for (int c = 1; c <= 26; ++c) {
        EXPECT_NE(glyph(rom, 1, c), glyph(rom, 0, c)) << "lower case letter " << c;
        EXPECT_EQ(glyph(rom, 1, c + 64), glyph(rom, 0, c)) << "capital " << c;
        for (int d = 1; d <= 26; ++d)
            EXPECT_NE(glyph(rom, 1, c), glyph(rom, 0, d)) << "lower " << c << " looks like capital " << d;
    }
    // Everything else matches the first half.
    for (int c = 0; c < 128; ++c)
        if (!(c >= 1 && c <= 26) && !(c >= 65 && c <= 90)) {
            EXPECT_EQ(glyph(rom, 1, c), glyph(rom, 0, c)) << "code " << c;
        }
}

TEST_F(AssetsRom, QuadrantAndHalfBlocksAreExact) {
    for (int half = 0; half < 2; ++half) {
        expectQuadrants(rom, half, 108, false, false, false, true);
        expectQuadrants(rom, half, 123, false, false, true, false);
        expectQuadrants(rom, half, 124, false, true, false, false);
        expectQuadrants(rom, half, 126, true, false, false, false);
        expectQuadrants(rom, half, 127, true, false, false, true);
        expectQuadrants(rom, half, 97, true, false, true, false);
        expectQuadrants(rom, half, 98, false, false, true, true);
        // Their reversed forms fill the other quadrants.
        expectQuadrants(rom, half, 108 + 128, true, true, true, false);
        expectQuadrants(rom, half, 127 + 128, false, true, true, false);
    }
}

TEST_F(AssetsRom, CheckerboardAlternatesEveryPixel) {
    Pattern p = glyph(rom, 0, 102);
    for (int r = 0; r < 8; ++r) {
        EXPECT_TRUE(p[r] == 0xAA || p[r] == 0x55) << "row " << r;
        if (r) {
            EXPECT_EQ(p[r], u8(~p[r - 1])) << "row " << r;
        }
    }
}

TEST(AssetsRam, PowerOnMemoryHasTheExpectedAreas) {
    Bytes ram = readAsset("C64Raw.bin");
    ASSERT_EQ(ram.size(), 65536u);
    for (int a = 0x0400 + 6 * 40; a <= 0x07E7; ++a) ASSERT_EQ(ram[a], 0x20) << std::hex << a;
    for (int a = 0xD800; a <= 0xDBE7; ++a) ASSERT_EQ(ram[a], 14) << std::hex << a;
    // The self-test's monitor fill writes $42 here and checks where it stopped.
    for (int a = 0xC000; a <= 0xC1FF; ++a) ASSERT_NE(ram[a], 0x42) << std::hex << a;
}

TEST(AssetsRam, StartUpTextUsesDrawnScreenCodes) {
    Bytes ram = readAsset("C64Raw.bin");
    ASSERT_EQ(ram.size(), 65536u);
    int nonBlank = 0;
    for (int a = 0x0400; a < 0x0400 + 6 * 40; ++a) {
        EXPECT_LT(ram[a], 64) << "not a letter, digit or sign at " << std::hex << a;
        if (ram[a] != 0x20) ++nonBlank;
    }
    EXPECT_GT(nonBlank, 10);
}

TEST(AssetsIcon, DecodesWithSomeOpaquePixels) {
    Bytes png = readAsset("icon.png");
    ASSERT_FALSE(png.empty());
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load_from_memory(png.data(), int(png.size()), &w, &h, &n, 4);
    ASSERT_NE(px, nullptr) << stbi_failure_reason();
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    int opaque = 0;
    std::set<u32> colours;
    for (int i = 0; i < w * h; ++i)
        if (px[i * 4 + 3] == 255) {
            ++opaque;
            colours.insert(px[i * 4] | px[i * 4 + 1] << 8 | px[i * 4 + 2] << 16);
        }
    stbi_image_free(px);
    EXPECT_GT(opaque, w * h / 2);
    EXPECT_GT(colours.size(), 3u);
    // The corners stay transparent so the window icon is not a square.
    EXPECT_LT(opaque, w * h);
}

namespace {

const char* const kGlyphFiles[20] = {
    "BtnCharset.bmp", "BtnEditCharset.bmp", "SpeedButton1.bmp", "SpeedButton2.bmp",
    "DrawDotTool.bmp", "DrawTool.bmp", "BtnEditSprites.bmp", "FloodFillTool.bmp",
    "BtnHelp.bmp", "LineTool.bmp", "BtnMonitor.bmp", "BtnSecondView.bmp",
    "BtnSprites.bmp", "TextTool.bmp", "Select.bmp", "Move.bmp",
    "brush1.bmp", "brush2.bmp", "brush3.bmp", "Brush4.bmp"};

struct Picture {
    int w = 0, h = 0;
    std::vector<u32> px;
};

bool decode(const Bytes& file, Picture& out) {
    int n = 0;
    unsigned char* p = stbi_load_from_memory(file.data(), int(file.size()), &out.w, &out.h, &n, 4);
    if (!p) return false;
    out.px.resize(size_t(out.w) * out.h);
    for (size_t i = 0; i < out.px.size(); ++i)
        out.px[i] = p[i * 4] | p[i * 4 + 1] << 8 | p[i * 4 + 2] << 16 | u32(p[i * 4 + 3]) << 24;
    stbi_image_free(p);
    return true;
}

u32 le32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | u32(b[at + 3]) << 24; }

}  // namespace

TEST(AssetsGlyphs, EveryIconIsAnUncompressed24BitBmpThatDecodes) {
    for (const char* name : kGlyphFiles) {
        Bytes file = readAsset(std::string("glyphs/") + name);
        ASSERT_GT(file.size(), 54u) << name;
        EXPECT_EQ(file[0], 'B') << name;
        EXPECT_EQ(file[1], 'M') << name;
        EXPECT_EQ(file[28] | file[29] << 8, 24) << name;
        EXPECT_EQ(le32(file, 30), 0u) << name;
        Picture pic;
        ASSERT_TRUE(decode(file, pic)) << name << ": " << stbi_failure_reason();
        // Small enough for the toolbar's 23 x 22 buttons.
        EXPECT_GE(pic.w, 8) << name;
        EXPECT_LE(pic.w, 22) << name;
        EXPECT_GE(pic.h, 8) << name;
        EXPECT_LE(pic.h, 22) << name;
    }
}

TEST(AssetsGlyphs, BottomLeftKeyColourFramesAVisiblePicture) {
    for (const char* name : kGlyphFiles) {
        Picture pic;
        ASSERT_TRUE(decode(readAsset(std::string("glyphs/") + name), pic)) << name;
        u32 key = pic.px[size_t(pic.h - 1) * pic.w];
        int keyed = 0;
        std::set<u32> drawn;
        for (u32 p : pic.px) {
            if (p == key) ++keyed;
            else drawn.insert(p);
        }
        EXPECT_GE(drawn.size(), 1u) << name;
        EXPECT_GT(keyed, 0) << name;
        // Some visible pixels, and at least a row's worth of transparent ones.
        EXPECT_GT(int(pic.px.size()) - keyed, 3) << name;
        EXPECT_GE(keyed, pic.w) << name;
    }
}

TEST(AssetsGlyphs, TwentyDistinctPictures) {
    std::vector<std::vector<u32>> seen;
    for (const char* name : kGlyphFiles) {
        Picture pic;
        ASSERT_TRUE(decode(readAsset(std::string("glyphs/") + name), pic)) << name;
        u32 key = pic.px[size_t(pic.h - 1) * pic.w];
        // Compare what a button shows: the key colour becomes transparent.
        for (u32& p : pic.px)
            if (p == key) p = 0;
        for (const auto& other : seen) EXPECT_NE(other, pic.px) << name;
        seen.push_back(pic.px);
    }
}
