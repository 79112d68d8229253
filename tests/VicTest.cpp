#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "core/Machine.h"
#include "core/Palette.h"
#include "core/Vic.h"

namespace {

std::unique_ptr<Machine> randomMachine(u32 seed) {
    auto m = std::make_unique<Machine>();
    auto next = [&] { return u8((seed = seed * 1103515245u + 12345u) >> 16); };
    for (u8& b : m->ram) b = next();
    for (u8& b : m->charRom) b = next();
    // Colour registers with junk in the high nibble: only the low four bits count.
    for (int reg = 0x20; reg <= 0x2E; ++reg) m->vic[reg] = next();
    return m;
}

// Pattern byte as the VIC fetches it, from first principles.
u8 refCharByte(const Machine& m, int code, int line) {
    const int base = m.bank * 0x4000;
    const int off = ((m.vic[0x18] >> 1) & 7) * 0x800;
    if ((m.bank == 0 || m.bank == 2) && (off == 0x1000 || off == 0x1800))
        return m.charRom[off - 0x1000 + code * 8 + line];
    return m.ram[base + off + code * 8 + line];
}

// Colour (0-15) of screen pixel (x, y) decoded straight from memory.
int refColour(const Machine& m, int x, int y) {
    const int col = x / 8, row = y / 8, line = y % 8, i = row * 40 + col;
    const int base = m.bank * 0x4000;
    const int screen = base + (m.vic[0x18] >> 4) * 0x400;
    const bool ecm = m.vic[0x11] & 0x40, bmm = m.vic[0x11] & 0x20, mcm = m.vic[0x16] & 0x10;
    const int code = m.ram[screen + i];
    const int cram = m.ram[0xD800 + i] & 15;
    if (!bmm) {
        if (mcm && cram >= 8) {
            const int pair = (refCharByte(m, code, line) >> (6 - (x % 8) / 2 * 2)) & 3;
            const int table[4] = {m.vic[0x21], m.vic[0x22], m.vic[0x23], cram & 7};
            return table[pair] & 15;
        }
        const int bit = (refCharByte(m, ecm ? code % 64 : code, line) >> (7 - x % 8)) & 1;
        if (bit) return cram;
        return (ecm ? m.vic[0x21 + code / 64] : m.vic[0x21]) & 15;
    }
    const int bitmap = base + ((m.vic[0x18] & 8) ? 0x2000 : 0);
    const int b = m.ram[bitmap + i * 8 + line];
    if (!mcm) return (b >> (7 - x % 8)) & 1 ? code >> 4 : code & 15;
    const int pair = (b >> (6 - (x % 8) / 2 * 2)) & 3;
    const int table[4] = {m.vic[0x21] & 15, code >> 4, code & 15, cram};
    return table[pair];
}

// Every mode against the decoder above: ROM sets in banks 0 and 2 (RAM in 1), a RAM set at the top
// of bank 3, the ECM bit ignored in bitmap modes. The screen alone, the frame with its border, and
// the last cell into a wider buffer; cells outside the screen draw nothing.
TEST(Vic, ScreenFrameAndCellMatchDecoderInEveryMode) {
    const struct {
        int bank;
        u8 d011, d016, d018;
        int palette;
    } rows[] = {
        {0, 0x1B, 0x08, 0x14, 0}, {0, 0x1B, 0x08, 0x16, 0},  // ROM, both halves
        {2, 0x1B, 0x08, 0x16, 6}, {1, 0x1B, 0x08, 0x16, 6},  // ROM at $9800; RAM in bank 1
        {3, 0x1B, 0x08, 0xFE, 0},                            // RAM set $F800-$FFFF
        {1, 0x1B, 0x18, 0x1C, 0}, {0, 0x1B, 0x18, 0x14, 0},  // multicolour text
        {1, 0x5B, 0x08, 0x1C, 0}, {0, 0x5B, 0x08, 0x14, 0},  // extended background
        {1, 0x5B, 0x18, 0x1C, 0},                            // multicolour beats ECM
        {0, 0x3B, 0x08, 0x18, 0}, {3, 0x7B, 0x08, 0xF8, 0}, {2, 0x3B, 0x08, 0x10, 0},
        {1, 0x3B, 0x18, 0x78, 9}, {3, 0x3B, 0x18, 0xF8, 9},
    };
    u32 seed = 1;
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "bank " << r.bank << " $D011 " << int(r.d011) << " $D016 "
                                        << int(r.d016) << " $D018 " << int(r.d018));
        auto m = randomMachine(seed++);
        m->bank = u16(r.bank);
        m->vic[0x11] = r.d011;
        m->vic[0x16] = r.d016;
        m->vic[0x18] = r.d018;
        Palette p;
        p.set(r.palette);
        std::vector<u32> screen(320 * 200, 0), frame(384 * 264, 0), cell(20 * 10, 7);
        Vic::renderScreen(*m, p, screen.data(), 320);
        Vic::renderFrame(*m, p, frame.data());
        Vic::renderCell(*m, p, 39, 24, cell.data() + 20 + 3, 20);
        Vic::renderCell(*m, p, 40, 0, cell.data(), 8);
        Vic::renderCell(*m, p, 0, -1, cell.data(), 8);
        int bad = 0;
        for (int y = 0; y < 264; ++y)
            for (int x = 0; x < 384; ++x) {
                const bool inside = x >= 32 && x < 352 && y >= 32 && y < 232;
                const int want = inside ? refColour(*m, x - 32, y - 32) : m->vic[0x20];
                const bool wrong = frame[y * 384 + x] != p.pixel(want) ||
                                   (inside && screen[(y - 32) * 320 + x - 32] != p.pixel(want));
                if (wrong && bad++ < 5) ADD_FAILURE() << "pixel " << x - 32 << "," << y - 32 << " colour " << want;
            }
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = y >= 1 && y < 9 && x >= 3 && x < 11;
                ASSERT_EQ(cell[y * 20 + x], inside ? p.pixel(refColour(*m, 312 + x - 3, 192 + y - 1)) : 7u) << x << "," << y;
            }
    }
}

// Sprites from first principles, pointer 255 in bank 3 ending at $FFFE. Pair 00 (or a clear hires
// bit) with background 0 leaves the target alone.
TEST(Vic, SpritesFromMemoryAndData) {
    auto m = randomMachine(12);
    m->bank = 3;
    m->vic[0x25] = 0x1D;
    m->vic[0x26] = 0x09;
    Palette p;
    for (bool mc : {false, true}) {
        std::vector<u32> fromMemory(24 * 21, 0), fromData(25 * 22, 5);
        Vic::renderSprite(*m, p, 255, 0x37, 0x42, mc, fromMemory.data(), 24);
        Vic::renderSpriteData(m->ram + 0xFFC0, mc, 0xAA, 0, 1, 2, fromData.data(), 25);
        const int colours[4] = {2, 13, 7, 9};
        const u32 values[4] = {5, 1, 0xAA, 2};
        for (int y = 0; y < 22; ++y)
            for (int x = 0; x < 25; ++x) {
                const bool in = x < 24 && y < 21;
                const int byte = in ? m->ram[0xFFC0 + y * 3 + x / 8] : 0;
                const int v = mc ? (byte >> (6 - x % 8 / 2 * 2)) & 3 : ((byte >> (7 - x % 8)) & 1) * 2;
                if (in) {
                    ASSERT_EQ(fromMemory[y * 24 + x], p.pixel(colours[v])) << mc << " " << x << "," << y;
                }
                ASSERT_EQ(fromData[y * 25 + x], values[v]) << mc << " " << x << "," << y;
            }
    }
}

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
    // Out of range selects palette 0; the custom one starts as palette 0, reaches rgb only through
    // set, and selecting a table leaves it alone.
    for (int bad : {11, -1, -2147483647 - 1}) {
        p.set(5);
        p.set(bad);
        EXPECT_EQ(p.index, 0) << bad;
        EXPECT_EQ(rgbOf(p, 2), 0x894036u) << bad;
    }
    p.set(10);
    EXPECT_EQ(rgbOf(p, 14), 0x7C70DAu);
    p.custom[3][0] = 0x12;
    p.custom[3][1] = 0x34;
    p.custom[3][2] = 0x56;
    EXPECT_EQ(rgbOf(p, 3), 0x7ABFC7u);
    p.set(10);
    EXPECT_EQ(p.index, 10);
    EXPECT_EQ(rgbOf(p, 3), 0x123456u);
    p.set(4);
    EXPECT_EQ(p.custom[3][0], 0x12);
    EXPECT_EQ(rgbOf(p, 3), 0x54FCFCu);
}

}  // namespace
