#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/Machine.h"
#include "core/Palette.h"
#include "core/Vic.h"

namespace {

struct Rng {
    u32 s;
    u8 next() {
        s = s * 1103515245u + 12345u;
        return u8(s >> 16);
    }
};

std::unique_ptr<Machine> randomMachine(u32 seed) {
    auto m = std::make_unique<Machine>();
    Rng r{seed};
    for (u8& b : m->ram) b = r.next();
    for (u8& b : m->charRom) b = r.next();
    // Colour registers with junk in the high nibble: only the low four bits count.
    for (int reg = 0x20; reg <= 0x2E; ++reg) m->vic[reg] = r.next();
    return m;
}

// RGB triple of C64 colour c, packed the way the pixels are (R in the low byte).
u32 px(const Palette& p, int c) {
    c &= 15;
    return 0xFF000000u | u32(p.rgb[c][2]) << 16 | u32(p.rgb[c][1]) << 8 | p.rgb[c][0];
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

void expectScreenMatches(const Machine& m, const Palette& p) {
    std::vector<u32> out(320 * 200, 0);
    Vic::renderScreen(m, p, out.data(), 320);
    int bad = 0;
    for (int y = 0; y < 200 && bad < 5; ++y)
        for (int x = 0; x < 320 && bad < 5; ++x)
            if (out[y * 320 + x] != px(p, refColour(m, x, y))) {
                ++bad;
                ADD_FAILURE() << "pixel " << x << "," << y << " expected colour "
                              << refColour(m, x, y);
            }
}

void setMode(Machine& m, int bank, u8 d011, u8 d016, u8 d018) {
    m.bank = u16(bank);
    m.vic[0x11] = d011;
    m.vic[0x16] = d016;
    m.vic[0x18] = d018;
}

// Every mode against the decoder above: ROM sets in banks 0 and 2 (RAM in 1),
// a RAM set at the top of bank 3, the ECM bit ignored in bitmap modes.
TEST(Vic, ScreenMatchesDecoderInEveryMode) {
    struct Case {
        int bank;
        u8 d011, d016, d018;
        int palette;
    } cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "bank " << c.bank << " $D011 " << int(c.d011) << " $D016 "
                                        << int(c.d016) << " $D018 " << int(c.d018));
        auto m = randomMachine(seed++);
        setMode(*m, c.bank, c.d011, c.d016, c.d018);
        Palette p;
        p.set(c.palette);
        expectScreenMatches(*m, p);
    }
}

TEST(Vic, CellAtStrideAndOutOfRange) {
    auto m = randomMachine(10);
    setMode(*m, 1, 0x3B, 0x08, 0x18);
    Palette p;
    std::vector<u32> out(20 * 10, 0x12345678);
    Vic::renderCell(*m, p, 39, 24, out.data() + 20 + 3, 20);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = y >= 1 && y < 9 && x >= 3 && x < 11;
            const u32 want = inside ? px(p, refColour(*m, 312 + x - 3, 192 + y - 1)) : 0x12345678u;
            ASSERT_EQ(out[y * 20 + x], want) << x << "," << y;
        }
    std::vector<u32> untouched(64, 7);
    Vic::renderCell(*m, p, 40, 0, untouched.data(), 8);
    Vic::renderCell(*m, p, 0, -1, untouched.data(), 8);
    for (u32 v : untouched) EXPECT_EQ(v, 7u);
}

TEST(Vic, FrameBorderAndPlacement) {
    auto m = randomMachine(11);
    setMode(*m, 0, 0x3B, 0x18, 0x18);
    m->vic[0x20] = 0xE5;
    Palette p;
    std::vector<u32> frame(384 * 264, 0);
    Vic::renderFrame(*m, p, frame.data());
    for (int y = 0; y < 264; ++y)
        for (int x = 0; x < 384; ++x) {
            const bool inside = x >= 32 && x < 352 && y >= 32 && y < 232;
            const u32 want = inside ? px(p, refColour(*m, x - 32, y - 32)) : px(p, 5);
            ASSERT_EQ(frame[y * 384 + x], want) << x << "," << y;
        }
}

TEST(Vic, ResetShowsRomGlyphsOnBlue) {
    auto m = std::make_unique<Machine>();
    m->powerOnImage.assign(65536, 0);
    for (int i = 0; i < 1000; ++i) m->powerOnImage[0x0400 + i] = u8(i);
    for (int i = 0; i < 1000; ++i) m->powerOnImage[0xD800 + i] = 1;
    for (int i = 0; i < 4096; ++i) m->charRom[i] = u8(i * 37 + 11);
    m->reset();
    Palette p;
    std::vector<u32> frame(384 * 264);
    Vic::renderFrame(*m, p, frame.data());
    EXPECT_EQ(frame[0], px(p, 14));
    EXPECT_EQ(m->vic[0x21] & 15, 6);
    EXPECT_EQ(m->vic[0x18] & 0xF0, 0x10);
    expectScreenMatches(*m, p);
}

// Pair 00 (or a clear hires bit) with background 0 leaves the target alone.
TEST(Vic, SpriteDataTransparency) {
    u8 data[63] = {};
    data[0] = 0x9B;           // hires 1..11.11; multicolour 10 01 10 11
    data[3 * 20 + 2] = 0x01;  // rightmost pixel of row 20
    for (bool mc : {false, true}) {
        std::vector<u32> out(25 * 22, 5);
        Vic::renderSpriteData(data, mc, 0xAA, 0, 1, 2, out.data(), 25);
        for (int y = 0; y < 22; ++y)
            for (int x = 0; x < 25; ++x) {
                const bool in = x < 24 && y < 21;
                const int bit = in ? (data[y * 3 + x / 8] >> (7 - x % 8)) & 1 : 0;
                const int pair = in ? (data[y * 3 + x / 8] >> (6 - x % 8 / 2 * 2)) & 3 : 0;
                const u32 t[4] = {5, 1, 0xAA, 2};
                EXPECT_EQ(out[y * 25 + x], mc ? t[pair] : bit ? 0xAAu : 5u) << mc << " " << x << "," << y;
            }
    }
}

// Independent sprite decoding from memory, pointer 255 in bank 3 ends at $FFFE.
TEST(Vic, SpriteFromMemoryAtTopOfBank3) {
    auto m = randomMachine(12);
    m->bank = 3;
    m->vic[0x25] = 0x1D;
    m->vic[0x26] = 0x09;
    Palette p;
    for (int mc = 0; mc < 2; ++mc) {
        std::vector<u32> out(24 * 21, 0);
        Vic::renderSprite(*m, p, 255, 0x37, 0x42, mc, out.data(), 24);
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 24; ++x) {
                const int byte = m->ram[0xFFC0 + y * 3 + x / 8];
                int c;
                if (!mc) {
                    c = (byte >> (7 - x % 8)) & 1 ? 7 : 2;
                } else {
                    const int pair = (byte >> (6 - (x % 8) / 2 * 2)) & 3;
                    const int t[4] = {2, 13, 7, 9};
                    c = t[pair];
                }
                ASSERT_EQ(out[y * 24 + x], px(p, c)) << mc << " " << x << "," << y;
            }
    }
}

}  // namespace
