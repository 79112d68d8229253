#include "core/CharsetConvert.h"
#include "core/Palette.h"
#include "core/UndoBuffer.h"
#include "core/Vic.h"
#include "tests/FileTestSupport.h"

namespace {

struct Picture {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    Palette pal;
    u32 screen = 0, bitmap = 0;

    // Bitmap mode in the given bank over random memory; d018 chooses screen and bitmap.
    Picture(int bank, u8 d018, bool multicolor, u32 seed) {
        m->reset();
        std::mt19937 r(seed);
        for (u8& b : m->ram) b = u8(r());
        m->bank = u16(bank);
        m->setGfxMode(multicolor ? 4 : 3);
        m->vic[VicReg::MemoryPointers] = d018;  // keep the bitmap half exactly as asked
        screen = u32(bank) * 0x4000 + (d018 >> 4) * 0x400u;
        bitmap = u32(bank) * 0x4000 + ((d018 & 8) ? 0x2000u : 0u);
    }
    u8* cell(int i) { return m->ram + bitmap + i * 8; }
    u8& scr(int i) { return m->ram[screen + i]; }
    u8& cram(int i) { return m->ram[0xD800 + i]; }
    // The character cell i shows from the set at $0800 (slot 1 of bank 0).
    Bytes shown(int i) { return Bytes(m->ram + 0x0800 + scr(i) * 8, m->ram + 0x0808 + scr(i) * 8); }
    // Every cell alike: bitmap rows `bits`, screen colours `colours`, colour RAM `own`.
    void fill(u8 bits, u8 colours, u8 own = 0) {
        for (int i = 0; i < 1000; ++i) {
            std::memset(cell(i), bits, 8);
            scr(i) = colours;
            cram(i) = own;
        }
    }
    // Cell i shows patterns[pick(i)] over colours.
    void patterns(const std::vector<Bytes>& patterns, int (*pick)(int), u8 colours) {
        for (int i = 0; i < 1000; ++i) {
            std::memcpy(cell(i), patterns[size_t(pick(i))].data(), 8);
            scr(i) = colours;
        }
    }
    std::vector<u32> render() const {
        std::vector<u32> out(320 * 200);
        Vic::renderScreen(*m, pal, out.data(), 320);
        return out;
    }
};

// Distinct random patterns, each with the bits of top set in its first row.
std::vector<Bytes> randomPatterns(std::mt19937& r, int n, u8 top = 0) {
    std::set<Bytes> seen;
    while (int(seen.size()) < n) {
        Bytes p(8);
        for (u8& b : p) b = u8(r());
        p[0] |= top;
        seen.insert(p);
    }
    return {seen.begin(), seen.end()};
}

// A picture text mode shows exactly. Hires: every cell has the background 6 as one of its two colours (most
// 0-bits show it). Multicolour: pair 01 colour 5, pair 10 light grey 12 everywhere, own colour 1-4, 6 or 7.
void exactPicture(Picture& s, bool multi, int distinct, u32 seed) {
    std::mt19937 r(seed);
    auto pats = randomPatterns(r, distinct);
    s.m->vic[VicReg::Background0] = 0xF0;  // junk high nibble, black
    const u8 own[6] = {1, 2, 3, 4, 6, 7};
    for (int i = 0; i < 1000; ++i) {
        std::memcpy(s.cell(i), pats[i < distinct ? i : r() % distinct].data(), 8);
        const u8 other = u8(r() % 16);
        s.scr(i) = multi ? 0x5C : i < 200 || r() % 2 ? u8(other << 4 | 6) : u8(0x60 | other);
        if (multi) s.cram(i) = u8(0xF0 | own[r() % 6]);
    }
}

// Blue background; cell 5's 1-bits show it (inverted), cell 40 is red on yellow (inexact).
void invertedAndInexact(Picture& s) {
    s.fill(0, 0x36);
    const u8 pat[8] = {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81};
    std::memcpy(s.cell(5), pat, 8);
    s.scr(5) = 0x62;
    std::memset(s.cell(40), 0xF0, 8);
    s.scr(40) = 0x27;
}

// Pair 01 white and 10 light blue are the shared colours; cells 1 and 2 also show red and light red.
void foreignColours(Picture& s) {
    s.m->vic[VicReg::Background0] = 0;
    s.fill(0x55, 0x1E, 2);
    for (int i = 0; i < 100; ++i) std::memset(s.cell(i), i < 3 ? 0x1B : 0xAA, 8);
    std::memset(s.cell(0), 0x5A, 8);  // 01 01 10 10
    s.scr(1) = 0xA2;                  // 01 light red before 10 red, colour RAM red
    s.scr(2) = 0x2A;                  // 01 red first, then 10 light red
}

struct Case {
    const char* name;
    int bank;
    u8 d018;
    bool multi;
    std::function<void(Picture&)> paint;
    int slot;
    bool merge;
    std::string error;  // empty: converted
    int inexact = 0, unique = -1, bg = -1, m1 = -1, m2 = -1;  // -1: not checked
    std::function<void(Picture&, const Machine& before)> check = nullptr;
};

// Every conversion with its undo step: refused ones change nothing and store no step; converted ones show
// the picture again except exactly the merged and the inexact cells, and undo back to it.
TEST(CharsetConvert, Conversions) {
    auto multi = [](int n, u32 seed) { return [=](Picture& s) { exactPicture(s, true, n, seed); }; };
    auto asItIs = [](Picture&) {};
    const std::string bitmap = "The screen has to be in a bitmap mode.";
    std::mt19937 rng(4);
    const auto ten = randomPatterns(rng, 10), three100 = randomPatterns(rng, 300, 0x80);
    auto patterns300 = [&](Picture& s) { s.patterns(three100, [](int i) { return i % 300; }, 0x16); };
    auto mostUsed = randomPatterns(rng, 257);
    mostUsed[1] = mostUsed[0];  // one bit apart from pattern 0 and used far more
    mostUsed[1][3] ^= 0x10;
    const Case cases[] = {
        {"hires characters are the distinct patterns", 1, 0x08, false,
         [&](Picture& s) { s.patterns(ten, [](int i) { return i * 7 % 10; }, 0x1B); }, 3, false, "", 0, 10, 11},
        {"hires inverted and inexact cells", 0, 0x18, false, invertedAndInexact, 1, false, "", 1, -1, 6, -1, -1,
         [](Picture& s, const Machine&) {
             // Cell 40 keeps its red 1-bits; its yellow becomes the background.
             const auto px = s.render();
             for (int x = 0; x < 8; ++x) EXPECT_EQ(px[12 * 320 + x], s.pal.pixel(x < 4 ? 2 : 6)) << x;
         }},
        {"hires background tie goes to the lowest colour", 0, 0x18, false,
         [](Picture& s) {
             s.fill(0, 0x14);
             for (int i = 0; i < 500; ++i) s.scr(i) = 0x19;  // 9 and 4 show the same number of 0-bits
         },
         1, false, "", 0, 2, 4},
        // Cell 1 meets light red before its own colour is chosen: light blue (pair 10) is nearer than black and
        // white. Cell 2 owns red already, nearer still (pair 11). Cell 0 owns none: 0 with the multicolour flag.
        {"multicolour foreign colours take the nearest", 0, 0x18, true, foreignColours, 1, false, "", 2, -1, 0, 1, 14,
         [](Picture& s, const Machine&) {
             const Bytes got = {s.shown(1)[7], s.shown(2)[0], s.cram(0), s.cram(1), s.cram(2)};
             EXPECT_EQ(got, (Bytes{0x2F, 0x3F, 8, 2 | 8, 2 | 8}));
         }},
        // Orange is neither shared colour and above 7; yellow is the highest colour a cell can own.
        {"multicolour own colour only 0-7", 0, 0x18, true,
         [](Picture& s) {
             s.m->vic[VicReg::Background0] = 6;
             s.fill(0x1B, 0x12, 3);
             s.cram(7) = 8;
             s.cram(8) = 7;
         },
         1, false, "", 1, -1, 6, -1, -1, [](Picture& s, const Machine&) { EXPECT_EQ(s.cram(8), 7 | 8); }},
        // Which slots are refused is the slot check's own test.
        {"slot on the character ROM, merging", 0, 0x18, false, asItIs, 3, true,
         "Can't put the charset there: The VIC sees the character ROM there."},
        {"text mode", 0, 0x18, false, [](Picture& s) { s.m->setGfxMode(GfxMode::Text); }, 1, false, bitmap},
        {"extended background text", 0, 0x18, false, [](Picture& s) { s.m->setGfxMode(GfxMode::ExtendedText); }, 8, false, bitmap},
        // Screen $D800.
        {"screen on colour RAM", 3, 0x68, false, asItIs, 5, false, "Can't convert: the video matrix overlaps the color RAM."},
        {"300 patterns without merging", 0, 0x18, false, patterns300, 1, false,
         "The picture has 300 different character cells, a charset holds 256.\n"
         "Enable merging of similar characters to convert anyway.",
         0, 300},
        {"300 patterns merged", 0, 0x18, false, patterns300, 1, true, "", 0, 300, 6, -1, -1,
         [](Picture& s, const Machine& before) {
             // Every character is one of the picture's own patterns.
             std::set<Bytes> own;
             for (int i = 0; i < 1000; ++i) own.emplace(before.ram + s.bitmap + i * 8, before.ram + s.bitmap + i * 8 + 8);
             for (int c = 0; c < 256; ++c) EXPECT_TRUE(own.count({s.m->ram + 0x0800 + c * 8, s.m->ram + 0x0808 + c * 8}));
         }},
        {"merging keeps the most used pattern", 0, 0x18, false,
         [&](Picture& s) { s.patterns(mostUsed, [](int i) { return i < 257 ? i : 1; }, 0x16); }, 1, true, "", 0,
         257, 6, -1, -1,
         [](Picture& s, const Machine& before) {
             EXPECT_EQ(s.shown(0), Bytes(before.ram + s.bitmap + 8, before.ram + s.bitmap + 16));
         }},
        // Bright colours weigh four times.
        {"multicolour merged", 1, 0x08, true, multi(1000, 23), 1, true, "", 0, -1, 0, 12, 5},
        // The slot inside the bitmap being read, up to the very end of memory.
        {"slot 7 in the bitmap", 3, 0x08, false, [](Picture& s) { exactPicture(s, false, 120, 25); }, 7, false, "", 0},
        {"multicolour slot 6 inside the bitmap", 3, 0x18, true, multi(200, 27), 6, false, "", 0, -1, 0, 12, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture s(c.bank, c.d018, c.multi, 12);
        c.paint(s);
        UndoBuffer undo(*s.m);
        undo.TakeUndo(UndoBuffer::KindAll, "first");
        undo.TakeUndo(UndoBuffer::KindAll, "second");
        undo.MakeUndo();
        const auto before = std::make_unique<Machine>(*s.m);
        const auto shown = s.render();
        const auto r = ConvertBitmapToCharsetWithUndo(*s.m, s.pal, undo, c.slot, c.merge);
        EXPECT_EQ(r.error, c.error);
        ASSERT_EQ(r.ok, c.error.empty());
        if (c.unique >= 0) { EXPECT_EQ(r.uniqueCells, c.unique); }
        EXPECT_EQ(r.inexactCells, c.inexact);
        if (!r.ok) {
            EXPECT_EQ(r.charCount, 0);
            EXPECT_TRUE(sameMachine(*s.m, *before));
            EXPECT_EQ(undo.undo.size() * 10 + undo.redo.size(), 11u);
            continue;
        }
        EXPECT_EQ(r.charCount, std::min(r.uniqueCells, 256));
        EXPECT_EQ(r.mergedCells > 0, r.uniqueCells > 256);
        EXPECT_EQ(s.m->gfxMode(), c.multi ? GfxMode::MulticolorText : GfxMode::Text);
        EXPECT_EQ(s.m->vic[VicReg::MemoryPointers], u8((c.d018 & 0xF0) | c.slot << 1));
        const int colours[3] = {c.bg, c.m1, c.m2};
        for (int k = 0; k < 3; ++k)
            if (colours[k] >= 0) { EXPECT_EQ(s.m->vic[VicReg::Background0 + k], colours[k]) << k; }
        // Characters numbered in order of first appearance, none twice, the rest of the slot cleared.
        const u8* set = s.m->ram + c.bank * 0x4000 + c.slot * 2048;
        std::set<Bytes> chars;
        int next = 0;
        for (int i = 0; i < 1000; ++i) {
            ASSERT_LE(s.scr(i), next) << i;
            if (s.scr(i) == next) {
                chars.emplace(set + next * 8, set + next * 8 + 8);
                ++next;
            }
            if (c.multi) { ASSERT_EQ(s.cram(i) & 8, 8) << i; }
        }
        EXPECT_EQ(next, r.charCount);
        EXPECT_EQ(int(chars.size()), r.charCount);
        for (int a = r.charCount * 8; a < 2048; ++a) ASSERT_EQ(set[a], 0) << a;
        const auto after = s.render();
        std::set<size_t> differ;  // cells
        for (size_t p = 0; p < after.size(); ++p)
            if (after[p] != shown[p]) differ.insert(p / 2560 * 40 + p % 320 / 8);
        EXPECT_EQ(int(differ.size()), r.mergedCells + r.inexactCells);
        if (c.check) c.check(s, *before);
        EXPECT_EQ(undo.undoName(), "convert to charset");
        EXPECT_EQ(undo.undo.size() * 10 + undo.redo.size(), 20u);
        undo.MakeUndo();
        EXPECT_TRUE(sameMachine(*s.m, *before));
    }
}

}  // namespace
