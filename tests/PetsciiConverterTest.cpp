#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "core/Palette.h"
#include "core/Vic.h"
#include "import/PetsciiConverter.h"

namespace {

struct Fixture {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    Palette pal;
    PetsciiConverter conv;
    std::mt19937 rng{3};
    Fixture() {
        m->loadAssets(VORLIX_ASSET_DIR);
        m->reset();
        conv.SetPalette(pal.rgb);
    }
};

// A screen drawn from characters of a ROM set in known colours converts back
// to them (the lowest code of a repeated pattern).
TEST(PetsciiConverter, CharacterPicturesConvertBack) {
    struct Case {
        int set, colors, bg;
        float detail;
        int fg[4];
    } cases[] = {{0, 2, 6, 0.5f, {2, 5, 7, 14}}, {1, 2, 0, 1.0f, {2, 5, 7, 14}}, {0, 0, 0, 0.8f, {1, 1, 1, 1}},
                 {1, 1, 11, 0.5f, {0, 12, 15, 1}}};
    Fixture f;
    for (const Case& c : cases) {
        f.conv.SetCharset(*f.m, c.set);
        u8 code[1000], col[1000];
        std::vector<u32> pic(320 * 200);
        for (int n = 0; n < 1000; ++n) {
            do code[n] = u8(f.rng());  // a blank cell has no colour to find
            while (!std::memcmp(f.conv.charset[code[n]], "\0\0\0\0\0\0\0\0", 8));
            col[n] = u8(c.fg[f.rng() % 4]);
            for (int i = 0; i < 64; ++i)
                pic[(n / 40 * 8 + i / 8) * 320 + n % 40 * 8 + i % 8] =
                    f.pal.pixel(f.conv.charset[code[n]][i / 8] >> (7 - i % 8) & 1 ? col[n] : c.bg);
        }
        f.conv.Convert(pic, PetsciiOptions{c.set, c.colors, c.bg, c.detail, true, false});
        EXPECT_EQ(f.conv.bg, c.bg);
        EXPECT_EQ(f.conv.Preview(), pic);
        for (int n = 0; n < 1000; ++n) {
            int first = 0;
            while (std::memcmp(f.conv.charset[first], f.conv.charset[code[n]], 8)) ++first;
            ASSERT_EQ(f.conv.screen[n], first) << n;
            ASSERT_EQ(f.conv.color[n], col[n]) << n;
        }
    }
}

TEST(PetsciiConverter, SolidPictures) {
    struct Case {
        int color, colors, background;
        bool noLetters;
        int bg, code, fg;  // fg -1: any
    } cases[] = {
        {0, 2, -1, false, 0, 32, -1},  // every background scores 0: the first allowed
        {5, 2, -1, false, 0, 160, 5},  // reversed space in the picture's colour
        {1, 0, -1, false, 0, 160, 1},  {12, 1, 5, true, 0, 160, 12},  // 5 is no grey: automatic
        {7, 2, 7, false, 7, 32, -1},
    };
    Fixture f;
    f.conv.SetCharset(*f.m, 0);
    for (const Case& c : cases) {
        f.conv.Convert(std::vector<u32>(320 * 200, f.pal.pixel(c.color)),
                       PetsciiOptions{0, c.colors, c.background, 0.5f, true, c.noLetters});
        EXPECT_EQ(f.conv.bg, c.bg) << c.color;
        for (int n = 0; n < 1000; ++n) {
            ASSERT_EQ(f.conv.screen[n], c.code) << c.color;
            ASSERT_TRUE(c.fg < 0 || f.conv.color[n] == c.fg) << c.color;
        }
    }
}

// Store points the VIC at the set the codes were matched against, so the
// screen shows what the preview showed; the current set stays where it is.
TEST(PetsciiConverter, StoreShowsThePreview) {
    struct Case {
        int which, bank, d018, mode, wantBank, wantD018;
    } cases[] = {{0, 1, 0x45, 0, 0, 0x15}, {1, 1, 0x45, 0, 0, 0x17}, {0, 3, 0x14, 3, 2, 0x14}, {1, 2, 0xF1, 0, 2, 0xF7},
                 {0, 0, 0x2B, 4, 0, 0x25}, {2, 1, 0x38, 3, 1, 0x38}, {2, 0, 0x1C, 4, 0, 0x1C}, {2, 2, 0x14, 0, 2, 0x14}};
    Fixture f;
    for (const Case& c : cases) {
        for (int a = 0; a < 65536; ++a) f.m->ram[a] = u8(f.rng());
        f.m->setGfxMode(c.mode);
        f.m->bank = u16(c.bank);
        f.m->vic[0x18] = u8(c.d018);
        f.conv.SetCharset(*f.m, c.which);
        std::vector<u32> pic(320 * 200);
        for (u32& p : pic) p = f.rng() | 0xFF000000u;
        f.conv.Convert(pic, PetsciiOptions{});
        f.conv.Store(*f.m, c.which);
        EXPECT_EQ(f.m->gfxMode(), 0);
        EXPECT_EQ(f.m->bank, c.wantBank) << c.which << " " << c.d018;
        EXPECT_EQ(f.m->vic[0x18], c.wantD018) << c.which << " " << c.d018;
        EXPECT_EQ(f.m->vic[0x21], f.conv.bg);
        std::vector<u32> shown(320 * 200);
        Vic::renderScreen(*f.m, f.pal, shown.data(), 320);
        EXPECT_EQ(shown, f.conv.Preview()) << c.which << " " << c.d018;
    }
}

}  // namespace
