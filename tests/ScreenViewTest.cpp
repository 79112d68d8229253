#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/Hex.h"
#include "core/ScreenView.h"

using namespace ScreenView;

TEST(ScreenView, MouseToPixelAtZoom3) {
    // Origin (100, 50): pointer at 100 + 3 * (32 + 10) + 1 addresses pixel 10.
    EXPECT_EQ(mouseToPixel(100 + 3 * (32 + 10) + 1, 100, 3), 10);
    EXPECT_EQ(mouseToPixel(50 + 3 * 32, 50, 3), 0);
    EXPECT_EQ(mouseToPixel(100, 100, 3), -32);
    // Just left of the origin is frame pixel -1, not 0.
    EXPECT_EQ(mouseToPixel(99.5f, 100, 3), -33);
}

TEST(ScreenView, MouseToPixelClampsFarAway) {
    EXPECT_EQ(mouseToPixel(1e9f, 0, 1), 10000 - 32);
    EXPECT_EQ(mouseToPixel(-1e9f, 0, 1), -10000 - 32);
    EXPECT_EQ(mouseToPixel(NAN, 0, 1), -10000 - 32);
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

TEST(ScreenView, StatusCellHiresBitmap) {
    auto m = std::make_unique<Machine>();
    m->bank = 0;
    m->vic[0x11] = 0x3B;
    m->vic[0x16] = 0x08;
    m->vic[0x18] = 0x18;
    StatusCell c = statusCell(*m, 13, 9);
    EXPECT_EQ(c.address, 0x2149);
    EXPECT_EQ(c.shownX, 13);
    EXPECT_EQ(c.shownY, 9);
    m->vic[0x16] = 0x18;  // multicolour: x halved, same address
    c = statusCell(*m, 13, 9);
    EXPECT_EQ(c.address, 0x2149);
    EXPECT_EQ(c.shownX, 6);
}

TEST(ScreenView, StatusCellText) {
    auto m = std::make_unique<Machine>();
    m->bank = 1;
    m->vic[0x11] = 0x1B;
    m->vic[0x18] = 0x14;
    StatusCell c = statusCell(*m, 319, 199);
    EXPECT_EQ(c.address, 0x4000 + 0x0400 + 24 * 40 + 39);
    EXPECT_EQ(c.shownX, 39);
    EXPECT_EQ(c.shownY, 24);
}

TEST(ScreenView, ToolsPaletteHits) {
    EXPECT_EQ(toolsPaletteColor(10, 34), -1);
    EXPECT_EQ(toolsPaletteColor(10, 40), 0);
    EXPECT_EQ(toolsPaletteColor(30, 40), 1);
    // Row 3 (y 97-111), left cell: colour 6.
    EXPECT_EQ(toolsPaletteColor(10, 40 + 19 * 3 + 5), 6);
    EXPECT_EQ(toolsPaletteColor(30, 40 + 19 * 7 + 5), 15);
    EXPECT_EQ(toolsPaletteColor(30, 500), 15);
    EXPECT_EQ(toolsPaletteColor(10, 36), 0);
}

TEST(ScreenView, ClearValueParsing) {
    EXPECT_EQ(parseClearValue("$1G"), 1);
    EXPECT_EQ(parseClearValue("abc"), 0);
    EXPECT_EQ(parseClearValue("$FF"), 255);
    EXPECT_EQ(parseClearValue("42"), 42);
    EXPECT_EQ(parseClearValue(""), 0);
    EXPECT_EQ(parseClearValue("$"), 0);
    // Hex stops at the first non-digit, the "x" of a C prefix too.
    EXPECT_EQ(parseClearValue("$0x10"), 0);
    EXPECT_EQ(parseClearValue("$1FF"), 0x1FF);
}

TEST(ParseHex, StopsAtFirstNonDigit) {
    EXPECT_EQ(ParseHex(""), 0u);
    EXPECT_EQ(ParseHex("1G"), 1u);
    EXPECT_EQ(ParseHex("d800"), 0xD800u);
}
