#include <gtest/gtest.h>

#include <string>

#include "core/Palette.h"

namespace {

u32 rgbOf(const Palette& p, int c) { return u32(p.rgb[c][0]) << 16 | u32(p.rgb[c][1]) << 8 | p.rgb[c][2]; }

TEST(Palette, NamesInOrder) {
    const char* expected[11] = {"Vorlix", "Median", "Average", "Quorl", "C64S", "CCS64",
                                "Frodo", "Godot", "PC64", "Default VICE", "Custom"};
    for (int i = 0; i < 11; ++i) EXPECT_STREQ(Palette::name(i), expected[i]) << i;
    EXPECT_STREQ(Palette::name(11), "");
    EXPECT_STREQ(Palette::name(-1), "");
}

TEST(Palette, ConstructorIsVorlixForBoth) {
    Palette p;
    EXPECT_EQ(p.index, 0);
    EXPECT_EQ(rgbOf(p, 0), 0x000000u);
    EXPECT_EQ(rgbOf(p, 2), 0x894036u);
    EXPECT_EQ(rgbOf(p, 14), 0x7C70DAu);
    EXPECT_EQ(rgbOf(p, 15), 0xABABABu);
    for (int c = 0; c < 16; ++c)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(p.custom[c][k], p.rgb[c][k]);
}

// A few entries of every built-in table, from the published list.
TEST(Palette, BuiltInTables) {
    struct Probe { int index, colour; u32 rgb; };
    const Probe probes[] = {
        {1, 2, 0xA82124}, {1, 11, 0x444544}, {1, 14, 0x6C70FE},
        {2, 0, 0x050505}, {2, 1, 0xFEFEFE}, {2, 9, 0x6F440C},
        {3, 6, 0x352879}, {3, 13, 0x9AD284},
        {4, 1, 0xFCFCFC}, {4, 9, 0x802C00},
        {5, 0, 0x101010}, {5, 7, 0xFFFFE0}, {5, 15, 0xC0C0C0},
        {6, 3, 0x00FFCC}, {6, 8, 0xFF8800},
        {7, 14, 0x0088FF}, {7, 11, 0x333333},
        {8, 0, 0x212121}, {8, 9, 0x944221},
        {9, 1, 0xFDFEFC}, {9, 12, 0x70746F}, {9, 15, 0xA4A7A2},
    };
    Palette p;
    for (const Probe& pr : probes) {
        p.set(pr.index);
        EXPECT_EQ(p.index, pr.index);
        EXPECT_EQ(rgbOf(p, pr.colour), pr.rgb) << pr.index << "/" << pr.colour;
    }
}

TEST(Palette, OutOfRangeSelectsZero) {
    Palette p;
    p.set(5);
    p.set(11);
    EXPECT_EQ(p.index, 0);
    EXPECT_EQ(rgbOf(p, 0), 0x000000u);
    EXPECT_EQ(rgbOf(p, 2), 0x894036u);
    p.set(5);
    p.set(-1);
    EXPECT_EQ(p.index, 0);
    EXPECT_EQ(rgbOf(p, 5), 0x68A941u);
    p.set(5);
    p.set(-2147483647 - 1);
    EXPECT_EQ(p.index, 0);
}

TEST(Palette, CustomOnlyThroughSet) {
    Palette p;
    p.set(10);
    EXPECT_EQ(rgbOf(p, 14), 0x7C70DAu);  // same as palette 0 right after construction
    p.custom[3][0] = 0x12;
    p.custom[3][1] = 0x34;
    p.custom[3][2] = 0x56;
    EXPECT_EQ(rgbOf(p, 3), 0x7ABFC7u);
    p.set(10);
    EXPECT_EQ(p.index, 10);
    EXPECT_EQ(rgbOf(p, 3), 0x123456u);
    p.set(4);
    EXPECT_EQ(p.custom[3][0], 0x12);  // selecting a table leaves custom alone
    EXPECT_EQ(rgbOf(p, 3), 0x54FCFCu);
}

TEST(Palette, PixelLayout) {
    Palette p;
    p.set(9);
    EXPECT_EQ(p.pixel(2), 0xFF241ABEu);
    EXPECT_EQ(p.pixel(2 + 16), 0xFF241ABEu);
    const u32 px = p.pixel(7);
    const u8* b = reinterpret_cast<const u8*>(&px);
    if (b[3] == 0xFF) {  // little-endian host: memory order R, G, B, A
        EXPECT_EQ(b[0], 0xDF);
        EXPECT_EQ(b[1], 0xF6);
        EXPECT_EQ(b[2], 0x0A);
    }
}

}  // namespace
