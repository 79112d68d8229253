#include <gtest/gtest.h>

#include <bitset>
#include <initializer_list>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <random>

#include "app/App.h"
#include "import/FontImport.h"
#include "platform/Platform.h"
#include "tests/TempDir.h"

namespace {

Bytes readFont(const char* name) {
    std::ifstream f(std::string(VORLIX_ASSET_DIR) + "/fonts/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

struct Glyph {
    u8 p[8];
    int bits() const {
        int n = 0;
        for (u8 b : p) n += std::bitset<8>(b).count();
        return n;
    }
    u8 columns() const { return p[0] | p[1] | p[2] | p[3] | p[4] | p[5] | p[6] | p[7]; }
};

Glyph render(ImportFontState& s, int cp) {
    Glyph g;
    renderGlyph(s, g.p, cp);
    return g;
}

// Shapes anyone can check by eye, in both Liberation faces.
TEST(FontImport, LettersHaveTheirShapes) {
    const struct {
        const char* face;
        int stroke;  // a letter of one upright stroke
        int size;
    } faces[] = {{"LiberationSans-Regular.ttf", 'l', 8}, {"LiberationMono-Regular.ttf", '!', 12}};
    for (auto [face, stroke, size] : faces) {
        SCOPED_TRACE(face);
        ImportFontState s;
        ASSERT_TRUE(loadFont(s, face, readFont(face))) << s.error;
        s.size = size;
        const Glyph l = render(s, stroke), t = render(s, 'T');
        EXPECT_EQ(std::bitset<8>(l.columns()).count(), 1u);  // one upright stroke
        EXPECT_GE(l.bits(), 4);
        int top = 0;
        while (!t.p[top]) ++top;
        EXPECT_GE(std::bitset<8>(t.p[top]).count(), 3u);  // the bar over one stem
        for (int y = top + 1; y < 8; ++y) EXPECT_LE(std::bitset<8>(t.p[y]).count(), 1u);
        EXPECT_EQ(render(s, ' ').bits(), 0);
        for (int cp : std::initializer_list<int>{'A', 'Z', 'a', 'z', '0', '9', '@', '?', 0xA3}) EXPECT_GT(render(s, cp).bits(), 2) << cp;

        s.xOffset = 1;
        s.yOffset = 1;
        const Glyph moved = render(s, stroke);
        for (int y = 0; y < 8; ++y) EXPECT_EQ(moved.p[y], y ? l.p[y - 1] >> 1 : 0);
        s.xOffset = s.yOffset = 0;
        for (int cp : {'A', 'g', '&'}) {
            s.threshold = 255;
            const Glyph full = render(s, cp);
            s.threshold = 1;
            const Glyph touched = render(s, cp);
            s.threshold = 110;
            const Glyph mid = render(s, cp);
            for (int y = 0; y < 8; ++y) {
                EXPECT_EQ(full.p[y] & ~mid.p[y], 0);
                EXPECT_EQ(mid.p[y] & ~touched.p[y], 0);
            }
            EXPECT_GT(touched.bits(), mid.bits());
        }
    }
}

// The offset of a table in a TrueType file.
size_t tableAt(const Bytes& f, const char* tag) {
    for (int i = 0, n = f[4] << 8 | f[5]; i < n; ++i)
        if (std::memcmp(&f[12 + i * 16], tag, 4) == 0) {
            const u8* r = &f[12 + i * 16 + 8];
            return size_t(r[0]) << 24 | r[1] << 16 | r[2] << 8 | r[3];
        }
    return 0;
}

TEST(FontImport, DamagedFontsAreRefused) {
    const Bytes good = readFont("LiberationSans-Regular.ttf");
    const size_t hhea = tableAt(good, "hhea");
    ASSERT_GT(hhea, 0u);
    auto span = [&](int ascent, int descent) {
        Bytes f = good;
        f[hhea + 4] = u8(ascent >> 8), f[hhea + 5] = u8(ascent), f[hhea + 6] = u8(descent >> 8), f[hhea + 7] = u8(descent);
        return f;
    };
    struct Case {
        const char* name;
        Bytes font;
        const char* why;
    } cases[] = {
        {"three bytes", Bytes(good.begin(), good.begin() + 3), "not a font"},
        {"text", Bytes(200, 'x'), "not a font"},
        {"directory cut", Bytes(good.begin(), good.begin() + 40), "cut short"},
        {"tables cut", Bytes(good.begin(), good.begin() + long(good.size() / 2)), "cut short"},
        {"zero span", span(300, 300), "no height"},
        {"negative span", span(-20, 0), "no height"},
        {"huge boxes", span(1, 0), "larger than"},
    };
    for (const Case& c : cases) {
        ImportFontState s;
        EXPECT_FALSE(loadFont(s, c.name, c.font)) << c.name;
        EXPECT_EQ(s.loaded, 0);
        EXPECT_NE(s.error.find(c.why), std::string::npos) << c.name << ": " << s.error;
        EXPECT_EQ(render(s, 'A').bits(), 0);
    }
    // Bytes changed at random: refused or rendered, never a crash or a runaway.
    std::mt19937 rng(11);
    ImportFontState s;
    u8 set[2048];
    for (int round = 0; round < 150; ++round) {
        Bytes f = good;
        for (int i = 0; i < 24; ++i) f[12 + rng() % (f.size() - 12)] = u8(rng());
        if (!loadFont(s, "damaged", f)) continue;
        for (int cp = 32; cp < 128; ++cp) renderGlyph(s, set + (cp - 32) * 8, cp);
    }
}

// The window's work on a RAM set: groups in their slots, and Cancel gives back
// only the slots it still holds.
TEST(FontImport, CharsetOpeningAndCancel) {
    TempDir dir;
    setenv("APPDATA", dir.path.c_str(), 1);
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
    Platform::initWithBasePath("");
    auto app = std::make_unique<App>();
    Machine& m = app->machine;
    ImportFontState& s = importFontState();

    EXPECT_FALSE(beginFontImport(*app, s));  // the reset VIC sees the ROM
    ASSERT_EQ(app->popups.size(), 1u);
    EXPECT_EQ(app->popups[0].text, "I'm sorry, i cannot import to ROM. Please select a RAM bank.");

    m.vic[0x18] = 0x1A;  // set at $2800
    for (int i = 0; i < 2048; ++i) m.ram[0x2800 + i] = u8(i * 7);
    const Bytes before(m.ram + 0x2800, m.ram + 0x3000);
    ASSERT_TRUE(beginFontImport(*app, s));
    EXPECT_EQ(s.charsetAddr, 0x2800);
    EXPECT_TRUE(app->showCharset);
    EXPECT_EQ(app->undoBuffer.undoName(), "import charset");
    ASSERT_TRUE(loadFont(s, "sans", readFont("LiberationSans-Regular.ttf")));

    struct Case {
        bool capitals, small;
        int cp, slot;
    } cases[] = {{true, false, 'A', 1}, {true, true, 'A', 65}, {true, true, 'a', 1}, {false, true, 'z', 26}};
    for (const Case& c : cases) {
        s.capitals = c.capitals;
        s.smallLetters = c.small;
        renderFontCharset(m, s);
        EXPECT_EQ(0, std::memcmp(m.ram + 0x2800 + c.slot * 8, render(s, c.cp).p, 8)) << c.cp;
        if (!c.capitals) {
            EXPECT_EQ(0, std::memcmp(m.ram + 0x2800 + 65 * 8, &before[65 * 8], 8));
        }
    }
    EXPECT_EQ(0, std::memcmp(m.ram + 0x2800 + 48 * 8, render(s, '0').p, 8));
    EXPECT_EQ(0, std::memcmp(m.ram + 0x2800 + 28 * 8, render(s, 0xA3).p, 8));

    // Something else rewrites slot 3 while the window is open: a new render
    // and Cancel both keep it; the window's other slots go back.
    std::memset(m.ram + 0x2800 + 3 * 8, 0x81, 8);
    s.size = 12;
    renderFontCharset(m, s);
    std::memset(m.ram + 0x2800 + 4 * 8, 0x42, 8);
    endFontImport(*app, s, false);
    EXPECT_FALSE(app->showImportCharset);
    Bytes want = before;
    std::memset(&want[3 * 8], 0x81, 8);
    std::memset(&want[4 * 8], 0x42, 8);
    EXPECT_EQ(Bytes(m.ram + 0x2800, m.ram + 0x3000), want);

    app.reset();
    unsetenv("APPDATA");
    unsetenv("VORLIX_ASSETS");
    Platform::initWithBasePath("");
}

}  // namespace
