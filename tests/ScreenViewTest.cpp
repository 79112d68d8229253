#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/Hex.h"
#include "core/ScreenView.h"

using namespace ScreenView;

// Left of the origin is frame pixel -1, not 0; far away clamps to +-10000.
TEST(ScreenView, MouseToPixel) {
    const struct {
        float mouse, origin;
        int zoom, pixel;
    } rows[] = {{100 + 3 * (32 + 10) + 1, 100, 3, 10}, {50 + 3 * 32, 50, 3, 0}, {100, 100, 3, -32}, {99.5f, 100, 3, -33},
                {1e9f, 0, 1, 10000 - 32},           {-1e9f, 0, 1, -10000 - 32}, {NAN, 0, 1, -10000 - 32}};
    for (const auto& r : rows) EXPECT_EQ(mouseToPixel(r.mouse, r.origin, r.zoom), r.pixel) << r.mouse;
}

TEST(ScreenView, AimLandsInsidePixelAtEveryZoom) {
    for (int z = 1; z <= 24; ++z)
        for (int x : {0, 1, 159, 318, 319}) {
            float origin = 37.0f;
            float aim = (x + 0.5f) * z + origin + 32.0f * z;
            EXPECT_EQ(mouseToPixel(aim, origin, z), x) << "zoom " << z;
        }
}

TEST(ScreenView, WheelZoomKeepsPointUnderPointer) {
    // Child at 10, origin at 10 - scroll 0; pointer at 110: frame point 50 at zoom 2.
    float s = wheelZoomScroll(110, 10, 10, 2, 3);
    // At zoom 3 frame point 50 lies 150 px into the picture; pointer is 100 px into the child.
    EXPECT_FLOAT_EQ(s, 50.0f);
    // Zooming out near the top-left never gives a negative scroll.
    EXPECT_FLOAT_EQ(wheelZoomScroll(20, 10, 10, 3, 2), 0.0f);
}

// Multicolour halves x at the same address.
TEST(ScreenView, StatusCell) {
    const struct {
        int bank;
        u8 d011, d016, d018;
        int x, y, address, shownX, shownY;
    } rows[] = {{0, 0x3B, 0x08, 0x18, 13, 9, 0x2149, 13, 9},
                {0, 0x3B, 0x18, 0x18, 13, 9, 0x2149, 6, 9},
                {1, 0x1B, 0x08, 0x14, 319, 199, 0x4000 + 0x0400 + 24 * 40 + 39, 39, 24}};
    auto m = std::make_unique<Machine>();
    for (const auto& r : rows) {
        m->bank = u16(r.bank);
        m->vic[0x11] = r.d011, m->vic[0x16] = r.d016, m->vic[0x18] = r.d018;
        const StatusCell c = statusCell(*m, r.x, r.y);
        EXPECT_EQ(c.address, r.address);
        EXPECT_EQ(c.shownX, r.shownX);
        EXPECT_EQ(c.shownY, r.shownY);
    }
}

TEST(ScreenView, ToolsPaletteHits) {
    // Row 3 (y 97-111), left cell: colour 6.
    const int rows[][3] = {{10, 34, -1}, {10, 40, 0}, {30, 40, 1}, {10, 40 + 19 * 3 + 5, 6}, {30, 40 + 19 * 7 + 5, 15},
                           {30, 500, 15}, {10, 36, 0}};
    for (auto& r : rows) EXPECT_EQ(toolsPaletteColor(r[0], r[1]), r[2]) << r[0] << "," << r[1];
}

// Hex stops at the first non-digit, the "x" of a C prefix too.
TEST(ScreenView, ClearValueParsing) {
    const std::pair<const char*, int> rows[] = {{"$1G", 1}, {"abc", 0}, {"$FF", 255}, {"42", 42},
                                                {"", 0},    {"$", 0},   {"$0x10", 0}, {"$1FF", 0x1FF}};
    for (auto [text, value] : rows) EXPECT_EQ(parseClearValue(text), value) << text;
    EXPECT_EQ(ParseHex("d800"), 0xD800u);
}
