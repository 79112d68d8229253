#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/Palette.h"

namespace {

u32 rgbOf(const Palette& p, int c) { return u32(p.rgb[c][0]) << 16 | u32(p.rgb[c][1]) << 8 | p.rgb[c][2]; }

// All 160 entries of the ten built-in palettes, from the published lists.
TEST(Palette, EveryBuiltInEntry) {
    const char* tables[10] = {
        "000000 FFFFFF 894036 7ABFC7 8A46AE 68A941 3E31A2 D0DC71 905F25 5C4700 BB776D 555555 808080 ACEA88 7C70DA ABABAB",
        "000000 FFFFFF A82124 70E6EE B43DB5 21B540 2121AA EEF66F B55F25 6A4200 FE736D 444544 808080 91FE84 6C70FE ABABAB",
        "050505 FEFEFE A82124 5FDBDF AF2EBD 2DB62E 211CA5 E4EB61 B06921 6F440C DF716E 4D4D4C 7D7D7D 89F279 6771EA AEAEAE",
        "000000 FFFFFF 68372B 70A4B2 6F3D86 588D43 352879 B8C76F 6F4F25 6F420C 9A6759 4D4D4C 6C6C6C 9AD284 6C5EB5 AEAEAE",
        "000000 FCFCFC A80000 54FCFC A800A8 00A800 0000A8 FCFC00 A85400 802C00 FC5454 545454 808080 54FC54 5454FC A8A8A8",
        "101010 FFFFFF E04040 60FFFF E060E0 40E040 4040E0 FFFFE0 E0A040 9C7448 FFA0A0 545454 888888 A0FFA0 A0A0FF C0C0C0",
        "000000 FFFFFF CC0000 00FFCC FF00FF 00CC00 0000CC FFFF00 FF8800 884400 FF8888 444444 888888 88FF88 8888FF CCCCCC",
        "000000 FFFFFF 880000 AAFFEE CC44CC 00CC55 0000AA EEEE77 DD8855 664400 FE7777 333333 777777 AAFF66 0088FF BBBBBB",
        "212121 FFFFFF B52121 73FFFF B521B5 21B521 2121B5 FFFF21 B57321 944221 FF7373 737373 949494 73FF73 7373FF B5B5B5",
        "000000 FDFEFC BE1A24 30E6C6 B41AE2 1FD21E 211BAE DFF60A B84104 6A3304 FE4A57 424540 70746F 59FE59 5F53FE A4A7A2",
    };
    Palette p;
    for (int i = 0; i < 10; ++i) {
        p.set(i);
        EXPECT_EQ(p.index, i);
        for (int c = 0; c < 16; ++c) {
            unsigned want = 0;
            std::sscanf(tables[i] + c * 7, "%6x", &want);
            EXPECT_EQ(rgbOf(p, c), want) << "palette " << i << " colour " << c;
        }
    }
    // The pixel value is R | G << 8 | B << 16 | alpha, whatever the colour's upper bits.
    EXPECT_EQ(p.pixel(2), 0xFF241ABEu);
    EXPECT_EQ(p.pixel(2 + 16), 0xFF241ABEu);
    EXPECT_STREQ(Palette::name(10), "Custom");
    EXPECT_STREQ(Palette::name(11), "");
    EXPECT_STREQ(Palette::name(-1), "");
}

TEST(Palette, OutOfRangeSelectsZeroAndCustomOnlyThroughSet) {
    Palette p;
    for (int bad : {11, -1, -2147483647 - 1}) {
        p.set(5);
        p.set(bad);
        EXPECT_EQ(p.index, 0) << bad;
        EXPECT_EQ(rgbOf(p, 2), 0x894036u) << bad;
    }
    p.set(10);
    EXPECT_EQ(rgbOf(p, 14), 0x7C70DAu);  // custom starts as palette 0
    p.custom[3][0] = 0x12;
    p.custom[3][1] = 0x34;
    p.custom[3][2] = 0x56;
    EXPECT_EQ(rgbOf(p, 3), 0x7ABFC7u);  // reaches rgb only through set
    p.set(10);
    EXPECT_EQ(p.index, 10);
    EXPECT_EQ(rgbOf(p, 3), 0x123456u);
    p.set(4);
    EXPECT_EQ(p.custom[3][0], 0x12);  // selecting a table leaves custom alone
    EXPECT_EQ(rgbOf(p, 3), 0x54FCFCu);
}

}  // namespace
