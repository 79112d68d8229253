#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <set>

#include "core/Palette.h"
#include "core/Vic.h"
#include "import/ColorReducer.h"

namespace {

u32 rgb(int r, int g, int b) { return u32(r) | u32(g) << 8 | u32(b) << 16 | 0xFF000000u; }
u32 grey(int v) { return rgb(v, v, v); }

struct Fixture {
    Palette pal;  // default colours: 11, 12, 15 are the greys 85, 128, 171
    ColorReducer r;
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    Fixture() { r.SetPalette(pal.rgb); }
    u32 color(int c) const { return pal.pixel(c); }
    std::vector<u32> picture(int w, const std::function<u32(int x, int y)>& f) const {
        std::vector<u32> px(size_t(w) * 200);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < w; ++x) px[size_t(y) * w + x] = f(x, y);
        return px;
    }
};

TEST(ColorReducer, ResizePlacesAndAveragesAsPlaced) {
    // One half-transparent white pixel: weighted by alpha it is grey 128.
    const u32 one = 0x80FFFFFFu;
    struct Case {
        bool fit, aspect;
        int x0, x1, y0, y1;  // the area that takes the pixel
    } cases[] = {{true, false, 0, 320, 0, 200}, {true, true, 60, 260, 0, 200}, {false, false, 159, 161, 99, 101},
                 {false, true, 159, 161, 99, 101}};
    for (const Case& c : cases) {
        std::vector<u32> out = ColorReducer::Resize(&one, 1, 1, 320, c.fit, c.aspect);
        ASSERT_EQ(out.size(), 320u * 200);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                bool in = x >= c.x0 && x < c.x1 && y >= c.y0 && y < c.y1;
                ASSERT_EQ(out[y * 320 + x], in ? grey(128) : 0xFF000000u) << c.fit << c.aspect << " " << x << "," << y;
            }
    }
    // Larger than the screen without zoom: the centre, each wide pixel the mean of two columns.
    std::vector<u32> big(400 * 300);
    for (int i = 0; i < 400 * 300; ++i) big[i] = grey(i % 400 & 1 ? 200 : 100);
    std::vector<u32> wide = ColorReducer::Resize(big.data(), 400, 300, 160, false, false);
    for (u32 p : wide) ASSERT_EQ(p, grey(150));
}

TEST(ColorReducer, KnownResults) {
    struct Case {
        const char* name;
        int width, mode, dither, bg;
        std::function<u32(const Fixture&, int x, int y)> pixel;
        std::function<void(const Fixture&)> check;
    };
    const Case cases[] = {
        {"solid hires cells stay exact under dithering", 320, 2, 1, -1,
         [](const Fixture& f, int x, int y) { return f.color((x / 8 + y / 8) % 16); },
         [](const Fixture& f) {
             for (int n = 0; n < 1000; ++n) {
                 int c = (n % 40 + n / 40) % 16;
                 EXPECT_EQ(f.m->ram[0x2000 + n * 8 + 3], 0);
                 EXPECT_EQ(f.m->ram[f.m->screenAddr() + n], c * 17) << n;
             }
         }},
        {"solid multicolour cells: the commonest colour is the background", 160, 2, 3, -1,
         [](const Fixture& f, int x, int y) { return f.color(x / 4 < 30 ? 6 : y / 8 % 2 ? 2 : 9); },
         [](const Fixture& f) {
             EXPECT_EQ(f.m->vic[0x21], 6);
             for (int n = 0; n < 1000; ++n) {
                 bool own = n % 40 >= 30;
                 int c = own ? (n / 40 % 2 ? 2 : 9) : 6;
                 EXPECT_EQ(f.m->ram[0x2000 + n * 8], own ? 0x55 : 0) << n;
                 EXPECT_EQ(f.m->ram[f.m->screenAddr() + n], c << 4 | 6) << n;
                 EXPECT_EQ(f.m->ram[0xD800 + n], 6) << n;
             }
         }},
        {"two-colour hires cells", 320, 2, 0, -1,
         [](const Fixture& f, int x, int) { return f.color(x % 8 < 4 ? 7 : 2); },
         [](const Fixture& f) {
             EXPECT_EQ(f.m->ram[0x2000 + 77], 0xF0);
             EXPECT_EQ(f.m->ram[f.m->screenAddr() + 500], 0x72);
         }},
        {"two-colour multicolour cells over a chosen background", 160, 2, 0, 0,
         [](const Fixture& f, int x, int) { return f.color(x % 4 < 2 ? 2 : 7); },
         [](const Fixture& f) {
             EXPECT_EQ(f.m->ram[0x2000 + 77], 0x5A);
             EXPECT_EQ(f.m->ram[f.m->screenAddr() + 500], 0x27);
             EXPECT_EQ(f.m->ram[0xD800 + 500], 0);
             EXPECT_EQ(f.m->vic[0x21], 0);
         }},
        {"grey ramp takes the nearest grey, ties to the earlier", 320, 1, 0, -1,
         [](const Fixture&, int x, int) { return grey(x < 256 ? x : 255); },
         [](const Fixture& f) {
             for (int x = 0; x < 320; ++x) {
                 int g = x < 256 ? x : 255;
                 int want = g <= 42 ? 0 : g <= 106 ? 11 : g <= 149 ? 12 : g <= 213 ? 15 : 1;
                 EXPECT_EQ(f.r.pixels[100 * 320 + x], want) << g;
             }
         }},
        {"mono background 5 is not allowed: chosen automatically", 160, 0, 0, 5,
         [](const Fixture&, int x, int) { return grey(x < 100 ? 255 : 0); },
         [](const Fixture& f) { EXPECT_EQ(f.r.bg, 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.m->reset();
        f.r.Reduce(f.picture(c.width, [&](int x, int y) { return c.pixel(f, x, y); }), c.width, c.mode, c.dither, c.bg);
        f.r.Store(*f.m);
        EXPECT_EQ(f.m->gfxMode(), c.width == 160 ? 4 : 3);
        c.check(f);
    }
}

// A grey bottom row: only the kernel's own-row weights carry error along it.
// Left alone the error settles at grey / (1 - kept share): white appears once
// that reaches 127.5 (Floyd-Steinberg keeps 7/16, Jarvis 12/48, Stucki 12/42).
TEST(ColorReducer, KernelsSpreadErrorAlongTheRow) {
    struct Case {
        int dither, grey;
        bool white;
    } cases[] = {{0, 120, false}, {1, 70, false}, {1, 74, true}, {2, 94, false},
                 {2, 97, true},   {3, 90, false}, {3, 93, true}, {9, 120, false}};
    for (const Case& c : cases) {
        Fixture f;
        f.r.Reduce(f.picture(320, [&](int, int y) { return grey(y == 199 ? c.grey : 0); }), 320, 0, c.dither, -1);
        bool white = false;
        for (int i = 0; i < 320 * 200; ++i) {
            if (f.r.pixels[i] == 1) white = true;
            if (i < 320 * 199) {
                ASSERT_EQ(f.r.pixels[i], 0);
            }
        }
        for (int k = 0; k < 3; ++k) EXPECT_EQ(f.r.error[3 * 320 * 199 + k], 0.0f);  // nothing from the left
        EXPECT_EQ(white, c.white) << c.dither << " " << c.grey;
    }
}

// Noise in every mode and kernel: the stored bitmap, drawn by the renderer, is
// the preview, and no cell holds more colours than the mode allows.
TEST(ColorReducer, StoredCellsKeepTheLimits) {
    std::mt19937 rng(7);
    for (int width : {320, 160})
        for (int mode : {0, 1, 2})
            for (int dither : {0, 1, 2, 3}) {
                Fixture f;
                f.m->reset();
                f.r.Reduce(f.picture(width, [&](int, int) { return rng() | 0xFF000000u; }), width, mode, dither, -1);
                f.r.Store(*f.m);
                std::vector<u32> shown(320 * 200), preview = f.r.Preview();
                Vic::renderScreen(*f.m, f.pal, shown.data(), 320);
                for (int cell = 0; cell < 1000; ++cell) {
                    std::set<u32> used;
                    for (int y = 0; y < 8; ++y)
                        for (int x = 0; x < 8; ++x) {
                            int px = cell % 40 * 8 + x, py = cell / 40 * 8 + y;
                            u32 s = shown[py * 320 + px];
                            ASSERT_EQ(s, preview[py * width + px * width / 320]) << width << mode << dither;
                            if (width == 320 || s != f.color(f.r.bg)) used.insert(s);
                        }
                    ASSERT_LE(used.size(), width == 320 ? 2u : 3u);
                }
            }
}

}  // namespace
