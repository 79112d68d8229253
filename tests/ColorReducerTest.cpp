#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <set>

#include "core/Palette.h"
#include "core/Vic.h"
#include "import/ColorReducer.h"

namespace {

u32 grey(int v) { return u32(v) * 0x10101u | 0xFF000000u; }

struct Reduced {
    Palette pal;  // default colours: 11, 12, 15 are the greys 85, 128, 171
    ColorReducer r;
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    Reduced(int width, int mode, int dither, int bg, const std::function<u32(const Palette&, int x, int y)>& f) {
        m->reset();
        std::vector<u32> px(size_t(width) * 200);
        for (int i = 0; i < width * 200; ++i) px[i] = f(pal, i % width, i / width);
        r.SetPalette(pal.rgb);
        r.Reduce(px, width, mode, dither, bg);
        r.Store(*m);
    }
    int at(int a) const { return m->ram[a]; }
};

TEST(ColorReducer, ResizePlacesAndAverages) {
    const u32 one = 0x80FFFFFFu;  // half transparent: weighted by alpha, grey 128
    struct Case {
        bool fit, aspect;
        int x0, x1, y0, y1;  // the area the pixel covers
    } cases[] = {{true, false, 0, 320, 0, 200}, {true, true, 60, 260, 0, 200}, {false, true, 159, 161, 99, 101}};
    for (const Case& c : cases) {
        std::vector<u32> out = ColorReducer::Resize(&one, 1, 1, 320, c.fit, c.aspect);
        for (int i = 0; i < 320 * 200; ++i) {
            bool in = i % 320 >= c.x0 && i % 320 < c.x1 && i / 320 >= c.y0 && i / 320 < c.y1;
            ASSERT_EQ(out[i], in ? grey(128) : 0xFF000000u) << c.fit << c.aspect << " " << i;
        }
    }
    // Larger than the screen without zoom: its centre, each wide pixel the mean of two columns.
    std::vector<u32> big(400 * 300);
    for (int i = 0; i < 400 * 300; ++i) big[i] = grey(i & 1 ? 200 : 100);
    for (u32 p : ColorReducer::Resize(big.data(), 400, 300, 160, false, false)) ASSERT_EQ(p, grey(150));
}

TEST(ColorReducer, KnownResults) {
    // Multicolour: columns 0-29 of colour 6 make it the background; the other cells are solid 2 or 9.
    Reduced multi(160, 2, 3, -1, [](const Palette& p, int x, int y) { return p.pixel(x < 120 ? 6 : y / 8 % 2 ? 2 : 9); });
    EXPECT_EQ(multi.m->vic[0x21], 6);
    for (int n = 0; n < 1000; ++n) {
        int c = n % 40 < 30 ? 6 : n / 40 % 2 ? 2 : 9;
        ASSERT_EQ(multi.at(0x2000 + n * 8), c == 6 ? 0 : 0x55) << n;
        ASSERT_EQ(multi.at(0x0400 + n), c << 4 | 6) << n;
        ASSERT_EQ(multi.at(0xD800 + n), 6) << n;
    }
    // Two colours per cell, equal counts: the lower index takes slot 0.
    Reduced hires(320, 2, 1, -1, [](const Palette& p, int x, int) { return p.pixel(x % 8 < 4 ? 7 : 2); });
    EXPECT_EQ(hires.at(0x2000 + 77), 0xF0);
    EXPECT_EQ(hires.at(0x0400 + 500), 0x72);
    Reduced mc(160, 2, 0, 0, [](const Palette& p, int x, int) { return p.pixel(x % 4 < 2 ? 2 : 7); });
    EXPECT_EQ(mc.at(0x2000 + 77), 0x5A);
    EXPECT_EQ(mc.at(0x0400 + 500), 0x27);
    // A grey ramp takes the nearest grey; 213 lies between 171 and 255 and takes the earlier, 15.
    Reduced ramp(320, 1, 0, -1, [](const Palette&, int x, int) { return grey(std::min(x, 255)); });
    for (int x = 0; x < 320; ++x) {
        int g = std::min(x, 255);
        ASSERT_EQ(ramp.r.pixels[100 * 320 + x], g <= 42 ? 0 : g <= 106 ? 11 : g <= 149 ? 12 : g <= 213 ? 15 : 1) << g;
    }
    // Background 5 is no mono colour: chosen automatically, the commoner white.
    EXPECT_EQ(Reduced(160, 0, 0, 5, [](const Palette&, int x, int) { return grey(x < 100 ? 255 : 0); }).r.bg, 1);
}

// A grey bottom row: only the own-row weights carry error along it. Left
// alone the error settles at grey / (1 - kept share); white appears once that
// reaches 127.5 (Floyd-Steinberg keeps 7/16, Jarvis 12/48, Stucki 12/42).
TEST(ColorReducer, KernelsSpreadErrorAlongTheRow) {
    struct Case {
        int dither, grey;
        bool white;
    } cases[] = {{0, 120, false}, {1, 70, false}, {1, 74, true}, {2, 94, false},
                 {2, 97, true},   {3, 90, false}, {3, 93, true}, {9, 120, false}};
    for (const Case& c : cases) {
        Reduced run(320, 0, c.dither, -1, [&](const Palette&, int, int y) { return grey(y == 199 ? c.grey : 0); });
        int whites = 0;
        for (int i = 0; i < 320 * 200; ++i) whites += run.r.pixels[i] == 1 ? (i < 320 * 199 ? 1000 : 1) : 0;
        EXPECT_EQ(whites > 0, c.white) << c.dither << " " << c.grey;
        EXPECT_LT(whites, 1000) << "error went up";
    }
}

// Noise in every mode and kernel: the stored bitmap, drawn by the renderer, is
// the preview, and no cell holds more colours than the mode allows.
TEST(ColorReducer, StoredCellsKeepTheLimits) {
    std::mt19937 rng(7);
    for (int width : {320, 160})
        for (int mode : {0, 1, 2})
            for (int dither : {0, 1, 2, 3}) {
                Reduced run(width, mode, dither, -1, [&](const Palette&, int, int) { return rng() | 0xFF000000u; });
                std::vector<u32> shown(320 * 200), preview = run.r.Preview();
                Vic::renderScreen(*run.m, run.pal, shown.data(), 320);
                for (int cell = 0; cell < 1000; ++cell) {
                    std::set<u32> used;
                    for (int i = 0; i < 64; ++i) {
                        int x = cell % 40 * 8 + i % 8, y = cell / 40 * 8 + i / 8;
                        ASSERT_EQ(shown[y * 320 + x], preview[y * width + x * width / 320]) << width << mode << dither;
                        if (width == 320 || shown[y * 320 + x] != run.pal.pixel(run.r.bg)) used.insert(shown[y * 320 + x]);
                    }
                    ASSERT_LE(used.size(), width == 320 ? 2u : 3u);
                }
            }
}

}  // namespace
