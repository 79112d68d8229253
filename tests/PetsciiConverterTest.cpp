#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "core/Palette.h"
#include "core/Vic.h"
#include "import/PetsciiConverter.h"

namespace {

std::unique_ptr<Machine> romMachine() {
    auto m = std::make_unique<Machine>();
    m->loadAssets(VORLIX_ASSET_DIR);
    m->reset();
    return m;
}

// The lowest code of the set whose pattern is that of code.
int firstWithPattern(const PetsciiConverter& c, int code) {
    for (int k = 0;; ++k)
        if (std::memcmp(c.charset[k], c.charset[code], 8) == 0) return k;
}

// A screen drawn from characters of the set in known colours converts back to them.
TEST(PetsciiConverter, CharacterPicturesConvertBack) {
    struct Case {
        int set, colors, bg;
        float detail;
    } cases[] = {{0, 2, 6, 0.5f}, {1, 2, 0, 1.0f}, {0, 0, 0, 0.8f}, {1, 1, 11, 0.5f}};
    auto m = romMachine();
    Palette pal;
    std::mt19937 rng(3);
    for (const Case& c : cases) {
        PetsciiConverter conv;
        conv.SetPalette(pal.rgb);
        conv.SetCharset(*m, c.set);
        const int fgs[3][4] = {{1, 1, 1, 1}, {0, 12, 15, 1}, {2, 5, 7, 14}};
        u8 code[1000], col[1000];
        std::vector<u32> pic(320 * 200);
        for (int n = 0; n < 1000; ++n) {
            do code[n] = u8(rng());  // a blank cell has no colour to find
            while (!std::memcmp(conv.charset[code[n]], "\0\0\0\0\0\0\0\0", 8));
            col[n] = u8(fgs[c.colors][rng() % 4]);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    pic[(n / 40 * 8 + y) * 320 + n % 40 * 8 + x] =
                        pal.pixel(conv.charset[code[n]][y] >> (7 - x) & 1 ? col[n] : c.bg);
        }
        PetsciiOptions opt;
        opt.colors = c.colors;
        opt.background = c.bg;
        opt.detail = c.detail;
        conv.Convert(pic, opt);
        EXPECT_EQ(conv.bg, c.bg);
        EXPECT_EQ(conv.Preview(), pic);
        for (int n = 0; n < 1000; ++n) {
            ASSERT_EQ(conv.screen[n], firstWithPattern(conv, code[n])) << n;
            ASSERT_EQ(conv.color[n], col[n]) << n;
        }
    }
}

TEST(PetsciiConverter, SolidPicturesAndChoices) {
    struct Case {
        int color, colors, background;
        bool reversed, noLetters;
        int bg, code, fg;
    } cases[] = {
        {0, 2, -1, true, false, 0, 32, 1},    // every background scores 0: the first allowed
        {5, 2, -1, true, false, 0, 160, 5},   // reversed space in the picture's colour
        {5, 2, -1, false, false, 0, -1, 5},   // no reversed space: a code below 128
        {1, 0, -1, true, false, 0, 160, 1},
        {12, 1, 5, true, true, 0, 160, 12},   // 5 is no grey: automatic
        {7, 2, 7, true, false, 7, 32, 0},
    };
    auto m = romMachine();
    Palette pal;
    for (const Case& c : cases) {
        PetsciiConverter conv;
        conv.SetPalette(pal.rgb);
        conv.SetCharset(*m, 0);
        PetsciiOptions opt;
        opt.colors = c.colors;
        opt.background = c.background;
        opt.reversed = c.reversed;
        opt.noLettersOrDigits = c.noLetters;
        conv.Convert(std::vector<u32>(320 * 200, pal.pixel(c.color)), opt);
        EXPECT_EQ(conv.bg, c.bg) << c.color;
        for (int n = 0; n < 1000; ++n) {
            if (c.code >= 0) {
                ASSERT_EQ(conv.screen[n], c.code) << c.color;
            } else {
                ASSERT_LT(conv.screen[n], 128) << c.color;
            }
            if (c.code != 32) {
                ASSERT_EQ(conv.color[n], c.fg) << c.color;
            }
        }
        if (c.code >= 0) {
            EXPECT_EQ(conv.Preview(), std::vector<u32>(320 * 200, pal.pixel(c.color)));
        }
    }
}

// Store puts the VIC on the set the codes were matched against, so the screen
// shows what the preview showed.
TEST(PetsciiConverter, StoreShowsThePreview) {
    struct Case {
        int which, bank, d018, mode;
        int wantBank, wantD018;
    } cases[] = {
        {0, 1, 0x45, 0, 0, 0x15}, {1, 1, 0x45, 0, 0, 0x17}, {0, 3, 0x14, 3, 2, 0x14},
        {1, 2, 0xF1, 0, 2, 0xF7}, {0, 0, 0x2B, 4, 0, 0x25}, {2, 1, 0x38, 3, 1, 0x38},
        {2, 0, 0x1C, 4, 0, 0x1C}, {2, 2, 0x14, 0, 2, 0x14},
    };
    auto m = romMachine();
    Palette pal;
    std::mt19937 rng(5);
    for (const Case& c : cases) {
        for (int a = 0; a < 65536; ++a) m->ram[a] = u8(rng());
        m->setGfxMode(c.mode);
        m->bank = u16(c.bank);
        m->vic[0x18] = u8(c.d018);
        PetsciiConverter conv;
        conv.SetPalette(pal.rgb);
        conv.SetCharset(*m, c.which);
        std::vector<u32> pic(320 * 200);
        for (u32& p : pic) p = rng() | 0xFF000000u;
        conv.Convert(pic, PetsciiOptions{});
        conv.Store(*m, c.which);
        EXPECT_EQ(m->gfxMode(), 0);
        EXPECT_EQ(m->bank, c.wantBank) << c.which << " " << c.d018;
        EXPECT_EQ(m->vic[0x18], c.wantD018) << c.which << " " << c.d018;
        EXPECT_EQ(m->vic[0x21], conv.bg);
        std::vector<u32> shown(320 * 200);
        Vic::renderScreen(*m, pal, shown.data(), 320);
        EXPECT_EQ(shown, conv.Preview()) << c.which << " " << c.d018;
    }
}

}  // namespace
