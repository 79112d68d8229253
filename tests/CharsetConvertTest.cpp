#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/CharsetConvert.h"
#include "core/Machine.h"
#include "core/Palette.h"
#include "core/UndoBuffer.h"
#include "core/Vic.h"

namespace {

struct Rng {
    u32 s;
    u32 next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    u8 byte() { return u8(next() >> 8); }
};

struct Picture {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    Palette pal;
    u32 screen = 0, bitmap = 0;

    // Bitmap mode in the given bank; d018 chooses screen and bitmap.
    Picture(int bank, u8 d018, bool multicolor, u32 seed) {
        m->reset();
        Rng r{seed};
        for (u8& b : m->ram) b = r.byte();
        m->bank = u16(bank);
        m->vic[0x18] = d018;
        m->setGfxMode(multicolor ? 4 : 3);
        m->vic[0x18] = d018;  // keep the bitmap half exactly as asked
        screen = u32(bank) * 0x4000 + (d018 >> 4) * 0x400u;
        bitmap = u32(bank) * 0x4000 + ((d018 & 8) ? 0x2000u : 0u);
    }
    u8* cell(int i) { return m->ram + bitmap + i * 8; }
    u8& scr(int i) { return m->ram[screen + i]; }
    u8& cram(int i) { return m->ram[0xD800 + i]; }
    std::vector<u32> render() const {
        std::vector<u32> out(320 * 200);
        Vic::renderScreen(*m, pal, out.data(), 320);
        return out;
    }
};

bool sameMachine(const Machine& a, const Machine& b) {
    return std::memcmp(a.ram, b.ram, sizeof a.ram) == 0 &&
           std::memcmp(a.vic, b.vic, sizeof a.vic) == 0 && a.bank == b.bank && a.pen == b.pen;
}

std::vector<std::vector<u8>> randomPatterns(Rng& r, int n) {
    std::set<std::vector<u8>> seen;
    std::vector<std::vector<u8>> out;
    while (int(out.size()) < n) {
        std::vector<u8> p(8);
        for (u8& b : p) b = r.byte();
        if (seen.insert(p).second) out.push_back(p);
    }
    return out;
}

// Hires picture that text mode shows exactly: every cell has the background
// colour 6 as one of its two colours, or no 0-bits.
void exactHiresPicture(Picture& s, int distinct, u32 seed) {
    Rng r{seed};
    auto pats = randomPatterns(r, distinct);
    for (int i = 0; i < 1000; ++i) {
        std::memcpy(s.cell(i), pats[i < distinct ? i : r.next() % distinct].data(), 8);
        const u8 other = u8(r.next() % 16);
        s.scr(i) = r.next() % 2 ? u8(other << 4 | 6) : u8(0x60 | other);
        if (i % 97 == 0) s.scr(i) = 0x66;
    }
    // Make sure 6 shows most 0-bits.
    for (int i = 0; i < 200; ++i) s.scr(i) = u8((s.scr(i) & 0xF0) | 6);
}

TEST(CharsetConvert, HiresRoundTripIsExact) {
    Picture s(0, 0x18, false, 1);  // screen $0400, bitmap $2000
    exactHiresPicture(s, 120, 2);
    const auto before = s.render();
    const u8 d018 = s.m->vic[0x18];
    const auto r = ConvertBitmapToCharset(*s.m, s.pal, 1, false);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.mergedCells, 0);
    EXPECT_EQ(r.inexactCells, 0);
    EXPECT_EQ(r.charCount, r.uniqueCells);
    EXPECT_LE(r.uniqueCells, 240);  // at most a pattern and its inverse each
    EXPECT_EQ(s.m->gfxMode(), 0);
    EXPECT_EQ(s.m->vic[0x18], u8((d018 & 0xF1) | 2));
    EXPECT_EQ(s.m->vic[0x21], 6);
    EXPECT_EQ(s.render(), before);
    // Unused characters of the slot are cleared.
    for (int a = 0x0800 + r.charCount * 8; a < 0x1000; ++a) ASSERT_EQ(s.m->ram[a], 0) << a;
}

TEST(CharsetConvert, HiresCharactersAreTheDistinctPatterns) {
    Picture s(1, 0x08, false, 3);  // screen $4000, bitmap $6000
    Rng r{4};
    auto pats = randomPatterns(r, 10);
    for (int i = 0; i < 1000; ++i) {
        std::memcpy(s.cell(i), pats[(i * 7) % 10].data(), 8);
        s.scr(i) = 0x1B;  // background 11 in every cell
    }
    const auto r1 = ConvertBitmapToCharset(*s.m, s.pal, 3, false);
    ASSERT_TRUE(r1.ok);
    EXPECT_EQ(r1.uniqueCells, 10);
    EXPECT_EQ(r1.charCount, 10);
    // Characters in order of first appearance: cell i shows pattern (i*7)%10.
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(std::memcmp(s.m->ram + 0x5800 + i * 8, pats[(i * 7) % 10].data(), 8), 0) << i;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(s.m->ram[0x4000 + i], i % 10);
        ASSERT_EQ(s.m->ram[0xD800 + i], 1);
    }
    EXPECT_EQ(s.m->vic[0x21], 11);
}

// A cell whose 1-bits show the background is inverted; one with two foreign colours cannot be exact.
TEST(CharsetConvert, HiresInvertedAndInexactCells) {
    Picture s(0, 0x18, false, 5);
    for (int i = 0; i < 1000; ++i) {
        std::memset(s.cell(i), 0, 8);  // all background
        s.scr(i) = 0x36;
    }
    const u8 pat[8] = {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81};
    std::memcpy(s.cell(5), pat, 8);
    s.scr(5) = 0x62;  // 1-bits show the background, 0-bits red
    for (int k = 0; k < 8; ++k) s.cell(40)[k] = 0xF0;
    s.scr(40) = 0x27;  // red on yellow, neither is the blue background
    auto before = s.render();
    const auto r = ConvertBitmapToCharset(*s.m, s.pal, 1, false);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.inexactCells, 1);
    EXPECT_EQ(s.m->vic[0x21], 6);
    const int ch = s.m->ram[0x0405];
    for (int k = 0; k < 8; ++k) EXPECT_EQ(s.m->ram[0x0800 + ch * 8 + k], u8(~pat[k]));
    EXPECT_EQ(s.m->ram[0xD805], 2);
    for (int y = 8; y < 16; ++y)
        for (int x = 4; x < 8; ++x) before[y * 320 + x] = s.pal.pixel(6);
    EXPECT_EQ(s.render(), before);
}

TEST(CharsetConvert, HiresBackgroundTieGoesToLowestColour) {
    Picture s(0, 0x18, false, 7);
    for (int i = 0; i < 1000; ++i) {
        std::memset(s.cell(i), 0, 8);
        s.scr(i) = i < 500 ? 0x19 : 0x14;  // 9 and 4 show the same number of 0-bits
    }
    const auto r = ConvertBitmapToCharset(*s.m, s.pal, 1, false);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(s.m->vic[0x21], 4);
    EXPECT_EQ(r.uniqueCells, 2);  // empty cells and inverted full cells in colour 9
}

// Multicolour picture that multicolour text shows exactly: pair 01 colour 5,
// pair 10 light grey 12 everywhere, own colour 1-4, 6 or 7 in colour RAM.
void exactMulticolourPicture(Picture& s, int distinct, u32 seed) {
    Rng r{seed};
    auto pats = randomPatterns(r, distinct);
    s.m->vic[0x21] = 0xF0;  // junk high nibble, black
    const u8 own[6] = {1, 2, 3, 4, 6, 7};
    for (int i = 0; i < 1000; ++i) {
        std::memcpy(s.cell(i), pats[i < distinct ? i : r.next() % distinct].data(), 8);
        s.scr(i) = 0x5C;
        s.cram(i) = u8(0xF0 | own[r.next() % 6]);
    }
}

TEST(CharsetConvert, MulticolourRoundTripIsExact) {
    Picture s(2, 0x28, true, 8);  // screen $8800, bitmap $A000
    exactMulticolourPicture(s, 150, 9);
    const auto before = s.render();
    const auto r = ConvertBitmapToCharset(*s.m, s.pal, 4, false);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.inexactCells, 0);
    EXPECT_EQ(r.mergedCells, 0);
    EXPECT_EQ(r.charCount, r.uniqueCells);
    EXPECT_EQ(s.m->gfxMode(), 1);
    EXPECT_EQ(s.m->vic[0x21], 0);
    EXPECT_EQ(s.m->vic[0x22], 12);  // bright colours weigh four times
    EXPECT_EQ(s.m->vic[0x23], 5);
    EXPECT_EQ(s.m->vic[0x18], 0x28);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(s.m->ram[0xD800 + i] & 8, 8) << i;
    EXPECT_EQ(s.render(), before);
}

TEST(CharsetConvert, MulticolourForeignColourTakesNearest) {
    Picture s(0, 0x18, true, 10);
    s.m->vic[0x21] = 0;
    for (int i = 0; i < 1000; ++i) {
        std::memset(s.cell(i), 0x55, 8);  // pair 01 everywhere
        s.scr(i) = 0x1E;                  // 01 white, 10 light blue
        s.cram(i) = 2;
    }
    for (int k = 0; k < 8; ++k) s.cell(0)[k] = 0x5A;  // 01 01 10 10
    for (int k = 0; k < 8; ++k) s.cell(1)[k] = 0x1B;  // 00 01 10 11
    for (int k = 0; k < 8; ++k) s.cell(2)[k] = 0x1B;
    for (int i = 3; i < 100; ++i) std::memset(s.cell(i), 0xAA, 8);
    s.scr(1) = 0xA2;  // 01 light red (10) before 10 red (2), colour RAM red
    s.scr(2) = 0x2A;  // 01 red first, then 10 light red
    const auto r = ConvertBitmapToCharset(*s.m, s.pal, 1, false);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(s.m->vic[0x22], 1);
    EXPECT_EQ(s.m->vic[0x23], 14);
    EXPECT_EQ(r.inexactCells, 2);
    auto d = [&](int a, int b) {
        int t = 0;
        for (int k = 0; k < 3; ++k) t += (s.pal.rgb[a][k] - s.pal.rgb[b][k]) * (s.pal.rgb[a][k] - s.pal.rgb[b][k]);
        return t;
    };
    auto nearest = [&](int c, int count) {
        const int cands[4] = {0, 1, 14, 2};
        int best = 0;
        for (int k = 1; k < count; ++k)
            if (d(c, cands[k]) < d(c, cands[best])) best = k;
        return best;
    };
    // Cell 1 meets light red before its own colour is chosen: three candidates.
    EXPECT_EQ(s.m->ram[0xD801], 2 | 8);
    int ch = s.m->ram[0x0401];
    u8 want = u8(nearest(10, 3) << 4 | 3 << 2 | 3);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(s.m->ram[0x0800 + ch * 8 + k], want);
    // Cell 2 has red as its own colour already; light red is nearest to it.
    EXPECT_EQ(nearest(10, 4), 3);
    EXPECT_EQ(s.m->ram[0xD802], 2 | 8);
    ch = s.m->ram[0x0402];
    want = u8(3 << 4 | 3 << 2 | 3);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(s.m->ram[0x0800 + ch * 8 + k], want);
    EXPECT_EQ(s.m->ram[0xD800], 8);  // no own colour: 0 with the multicolour flag
}

TEST(CharsetConvert, MulticolourOwnColourAboveSevenIsInexact) {
    Picture s(0, 0x18, true, 11);
    s.m->vic[0x21] = 6;
    for (int i = 0; i < 1000; ++i) {
        std::memset(s.cell(i), 0x1B, 8);
        s.scr(i) = 0x12;
        s.cram(i) = 3;
    }
    s.cram(7) = 8;  // orange: neither shared colour, above 7
    s.cram(8) = 7;  // yellow: the highest colour a cell can own
    const auto r = ConvertBitmapToCharset(*s.m, s.pal, 1, false);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.inexactCells, 1);
    EXPECT_EQ(s.m->ram[0xD807] & 8, 8);
    EXPECT_EQ(s.m->ram[0xD808], 7 | 8);
}

TEST(CharsetConvert, Refusals) {
    const std::string there = "Can't put the charset there: ", bitmap = "The screen has to be in a bitmap mode.";
    // Mode -1: the picture's own bitmap mode.
    const struct {
        int bank;
        u8 d018;
        int mode, slot;
        bool merge;
        std::string text;
    } rows[] = {
        {0, 0x18, -1, 2, false, there + "The VIC sees the character ROM there."},
        {0, 0x18, -1, 3, true, there + "The VIC sees the character ROM there."},
        {0, 0x18, -1, 0, false, there + "It overlaps the video matrix."},
        {0, 0x18, -1, 8, false, there + "Invalid charset position."},
        {0, 0x18, -1, -1, false, there + "Invalid charset position."},
        {0, 0x18, 0, 1, false, bitmap},
        {0, 0x18, 2, 8, false, bitmap},
        {3, 0x08, -1, 3, false, there + "It overlaps the color RAM."},  // screen $C000, bitmap $E000
        {3, 0x68, -1, 5, false, "Can't convert: the video matrix overlaps the color RAM."},  // screen $D800
    };
    for (const auto& r : rows) {
        Picture s(r.bank, r.d018, false, 12);
        if (r.mode >= 0) s.m->setGfxMode(r.mode);
        auto copy = std::make_unique<Machine>(*s.m);
        const auto res = ConvertBitmapToCharset(*s.m, s.pal, r.slot, r.merge);
        EXPECT_FALSE(res.ok) << r.text;
        EXPECT_EQ(res.error, r.text);
        EXPECT_EQ(res.charCount, 0);
        EXPECT_TRUE(sameMachine(*s.m, *copy)) << r.text;
    }
}

// Cells that show a pattern other than their own must be exactly mergedCells.
void checkMerged(Picture& s, const CharsetConversionResult& r, const std::vector<std::vector<u8>>& own,
                 u32 set) {
    int differ = 0;
    for (int i = 0; i < 1000; ++i) {
        const int ch = s.m->ram[s.screen + i];
        ASSERT_LT(ch, r.charCount);
        differ += std::memcmp(s.m->ram + set + ch * 8, own[i].data(), 8) != 0;
    }
    EXPECT_EQ(differ, r.mergedCells);
}

// 300 patterns whose inverses never collide with them: refused without merging, merged down to 256.
TEST(CharsetConvert, MergeHiresDownTo256) {
    Picture s(0, 0x18, false, 15);
    Rng r{17};
    auto pats = randomPatterns(r, 300);
    for (auto& p : pats) p[0] |= 0x80;
    std::vector<std::vector<u8>> own(1000);
    for (int i = 0; i < 1000; ++i) {
        own[i] = pats[i % 300];
        std::memcpy(s.cell(i), own[i].data(), 8);
        s.scr(i) = 0x16;  // background 6 everywhere: patterns stay as they are
    }
    const std::set<std::vector<u8>> distinct(pats.begin(), pats.end());
    const int n = int(distinct.size());
    ASSERT_GT(n, 256);
    auto copy = std::make_unique<Machine>(*s.m);
    const auto refused = ConvertBitmapToCharset(*s.m, s.pal, 1, false);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.uniqueCells, n);
    EXPECT_EQ(refused.error, "The picture has " + std::to_string(n) +
                                 " different character cells, a charset holds 256.\n"
                                 "Enable merging of similar characters to convert anyway.");
    EXPECT_TRUE(sameMachine(*s.m, *copy));
    const auto res = ConvertBitmapToCharset(*s.m, s.pal, 1, true);
    ASSERT_TRUE(res.ok) << res.error;
    EXPECT_EQ(res.uniqueCells, n);
    EXPECT_EQ(res.charCount, 256);
    EXPECT_GT(res.mergedCells, 0);
    EXPECT_EQ(res.inexactCells, 0);
    checkMerged(s, res, own, 0x0800);
    // Every character is one of the picture's own patterns, none twice.
    std::set<std::vector<u8>> chars;
    for (int c = 0; c < 256; ++c) {
        std::vector<u8> p(s.m->ram + 0x0800 + c * 8, s.m->ram + 0x0800 + c * 8 + 8);
        EXPECT_TRUE(distinct.count(p));
        chars.insert(p);
    }
    EXPECT_EQ(chars.size(), 256u);
}

TEST(CharsetConvert, MergeKeepsTheMostUsedPattern) {
    Picture s(0, 0x18, false, 20);
    Rng r{21};
    auto pats = randomPatterns(r, 257);
    // Pattern 1 differs from pattern 0 in one bit and is used far more.
    pats[1] = pats[0];
    pats[1][3] ^= 0x10;
    for (int i = 0; i < 1000; ++i) {
        const int p = i < 257 ? i : 1;
        std::memcpy(s.cell(i), pats[p].data(), 8);
        s.scr(i) = 0x16;
    }
    const auto res = ConvertBitmapToCharset(*s.m, s.pal, 1, true);
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(res.charCount, 256);
    EXPECT_EQ(res.mergedCells, 1);
    // Cell 0 shows pattern 1, the group's root.
    const int ch = s.m->ram[0x0400];
    EXPECT_EQ(std::memcmp(s.m->ram + 0x0800 + ch * 8, pats[1].data(), 8), 0);
}

TEST(CharsetConvert, MergeMulticolourThousandCells) {
    Picture s(1, 0x08, true, 22);  // screen $4000, bitmap $6000
    exactMulticolourPicture(s, 1000, 23);
    std::vector<std::vector<u8>> own(1000);
    for (int i = 0; i < 1000; ++i) {
        own[i].resize(8);
        for (int k = 0; k < 8; ++k) {
            // Expected remapping: 01 -> 10 (colour 5 is M2), 10 -> 01 (12 is M1).
            const u8 b = s.cell(i)[k];
            u8 o = 0;
            for (int sh = 0; sh < 8; sh += 2) {
                const int v = (b >> sh) & 3;
                o |= u8((v == 1 ? 2 : v == 2 ? 1 : v) << sh);
            }
            own[i][k] = o;
        }
    }
    const auto res = ConvertBitmapToCharset(*s.m, s.pal, 1, true);
    ASSERT_TRUE(res.ok) << res.error;
    EXPECT_EQ(res.charCount, 256);
    EXPECT_LE(res.uniqueCells, 1000);
    EXPECT_GT(res.uniqueCells, 256);
    checkMerged(s, res, own, 0x4800);
}

// The slot lies inside the bitmap being read and at the very end of memory.
TEST(CharsetConvert, SlotInsideBitmapAtTopOfBank3) {
    // Screen $C000 or $C400, bitmap $E000-$FF3F.
    for (auto [d018, multi, slot] : {std::tuple{u8(0x08), false, 4}, {u8(0x08), false, 7}, {u8(0x18), true, 6}}) {
        Picture s(3, d018, multi, 24);
        if (multi) exactMulticolourPicture(s, 200, 27);
        else exactHiresPicture(s, 120, 25);
        const auto before = s.render();
        const auto r = ConvertBitmapToCharset(*s.m, s.pal, slot, false);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.inexactCells, 0);
        EXPECT_EQ(s.m->vic[0x18], u8((d018 & 0xF0) | slot << 1));
        EXPECT_EQ(s.render(), before) << slot;
    }
}

TEST(CharsetConvert, UndoOnlyOnSuccess) {
    Picture s(0, 0x18, false, 28);
    UndoBuffer undo(*s.m);
    undo.TakeUndo(7, "first");
    undo.TakeUndo(7, "second");
    undo.MakeUndo();
    ASSERT_EQ(undo.undo.size(), 1u);
    ASSERT_EQ(undo.redo.size(), 1u);
    auto failed = ConvertBitmapToCharsetWithUndo(*s.m, s.pal, undo, 2, true);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(undo.undo.size(), 1u);
    EXPECT_EQ(undo.redo.size(), 1u);

    exactHiresPicture(s, 50, 29);
    auto copy = std::make_unique<Machine>(*s.m);
    auto ok = ConvertBitmapToCharsetWithUndo(*s.m, s.pal, undo, 1, true);
    ASSERT_TRUE(ok.ok);
    EXPECT_EQ(undo.undo.size(), 2u);
    EXPECT_TRUE(undo.redo.empty());
    EXPECT_EQ(undo.undoName(), "convert to charset");
    undo.MakeUndo();
    EXPECT_TRUE(sameMachine(*s.m, *copy));
}

}  // namespace
