#include <gtest/gtest.h>

#include <bitset>
#include <cstdlib>
#include <cstring>
#include <fstream>
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
    Glyph(ImportFontState& s, int cp) { renderGlyph(s, p, cp); }
    int bits(int row) const { return int(std::bitset<8>(p[row]).count()); }
    int bits() const { return int(std::bitset<64>(*reinterpret_cast<const unsigned long long*>(p)).count()); }
};

// Shapes anyone can check by eye, in both Liberation faces.
TEST(FontImport, LettersHaveTheirShapes) {
    for (auto [face, stroke, size] : {std::tuple{"LiberationSans-Regular.ttf", 'l', 8}, {"LiberationMono-Regular.ttf", '!', 12}}) {
        SCOPED_TRACE(face);
        ImportFontState s;
        ASSERT_TRUE(loadFont(s, face, readFont(face))) << s.error;
        s.size = size;
        const Glyph l(s, stroke), t(s, 'T');
        u8 columns = 0;
        for (u8 b : l.p) columns |= b;
        EXPECT_EQ(std::bitset<8>(columns).count(), 1u);  // one upright stroke
        int top = 0;
        while (!t.p[top]) ++top;
        EXPECT_GE(t.bits(top), 3);  // a bar over one stem
        for (int y = top + 1; y < 8; ++y) EXPECT_LE(t.bits(y), 1);
        EXPECT_EQ(Glyph(s, ' ').bits(), 0);
        for (int cp : {int('A'), int('z'), int('0'), int('@'), 0xA3}) EXPECT_GT(Glyph(s, cp).bits(), 2) << cp;
        s.xOffset = s.yOffset = 1;
        const Glyph moved(s, stroke);
        for (int y = 0; y < 8; ++y) EXPECT_EQ(moved.p[y], y ? l.p[y - 1] >> 1 : 0);
        s.xOffset = s.yOffset = 0;
        s.threshold = 255;
        const Glyph full(s, 'g');
        s.threshold = 1;
        const Glyph touched(s, 'g');
        for (int y = 0; y < 8; ++y) EXPECT_EQ(full.p[y] & ~touched.p[y], 0);
        EXPECT_GT(touched.bits(), full.bits());
    }
}

TEST(FontImport, DamagedFontsAreRefused) {
    const Bytes good = readFont("LiberationSans-Regular.ttf");
    size_t hhea = 0;  // the horizontal header's offset, from the table directory
    for (size_t i = 0; i < size_t(good[5]); ++i)
        if (std::memcmp(&good[12 + i * 16], "hhea", 4) == 0)
            for (int k = 0; k < 4; ++k) hhea = hhea << 8 | good[12 + i * 16 + 8 + k];
    auto span = [&](int ascent, int descent) {
        Bytes f = good;
        f[hhea + 4] = u8(ascent >> 8), f[hhea + 5] = u8(ascent), f[hhea + 6] = u8(descent >> 8), f[hhea + 7] = u8(descent);
        return f;
    };
    const std::pair<Bytes, const char*> cases[] = {
        {Bytes(good.begin(), good.begin() + 3), "not a font"}, {Bytes(200, 'x'), "not a font"},
        {Bytes(good.begin(), good.begin() + 40), "cut short"}, {Bytes(good.begin(), good.begin() + 99999), "cut short"},
        {span(300, 300), "no height"}, {span(-20, 0), "no height"}, {span(1, 0), "larger than"}};
    for (const auto& [font, why] : cases) {
        ImportFontState s;
        EXPECT_FALSE(loadFont(s, "damaged", font));
        EXPECT_NE(s.error.find(why), std::string::npos) << why << ": " << s.error;
        EXPECT_EQ(Glyph(s, 'A').bits(), 0);
    }
    // Bytes changed at random: refused or rendered, never a crash or a runaway.
    std::mt19937 rng(11);
    ImportFontState s;
    for (int round = 0; round < 150; ++round) {
        Bytes f = good;
        for (int i = 0; i < 24; ++i) f[12 + rng() % (f.size() - 12)] = u8(rng());
        if (loadFont(s, "damaged", f))
            for (int cp = 32; cp < 128; ++cp) Glyph(s, cp);
    }
}

// Groups go to their slots; Cancel gives back only the slots the window still holds.
TEST(FontImport, CharsetOpeningAndCancel) {
    TempDir dir;
    setenv("APPDATA", dir.path.c_str(), 1);
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
    Platform::initWithBasePath("");
    auto app = std::make_unique<App>();
    u8* set = app->machine.ram + 0x2800;
    ImportFontState& s = importFontState();
    EXPECT_FALSE(beginFontImport(*app, s));  // the reset VIC sees the ROM
    EXPECT_EQ(app->popups.at(0).text, "I'm sorry, i cannot import to ROM. Please select a RAM bank.");

    app->machine.vic[0x18] = 0x1A;
    for (int i = 0; i < 2048; ++i) set[i] = u8(i * 7);
    Bytes want(set, set + 2048);
    ASSERT_TRUE(beginFontImport(*app, s));
    EXPECT_TRUE(app->showCharset);
    EXPECT_EQ(app->undoBuffer.undoName(), "import charset");
    ASSERT_TRUE(loadFont(s, "sans", readFont("LiberationSans-Regular.ttf")));
    for (auto [capitals, small, cp, slot] : {std::tuple{true, false, 'A', 1}, {true, true, 'A', 65}, {false, true, 'a', 1},
                                             {true, true, '0', 48}, {true, true, '[', 27}}) {
        s.capitals = capitals, s.smallLetters = small;
        renderFontCharset(app->machine, s);
        EXPECT_EQ(std::memcmp(set + slot * 8, Glyph(s, cp).p, 8), 0) << char(cp);
        EXPECT_EQ(std::memcmp(set + 65 * 8, capitals && small ? Glyph(s, 'A').p : &want[65 * 8], 8), 0);
    }
    // Something else rewrites slot 3, then slot 4: a new render and Cancel keep both.
    std::memset(set + 3 * 8, 0x81, 8);
    s.size = 12;
    renderFontCharset(app->machine, s);
    std::memset(set + 4 * 8, 0x42, 8);
    endFontImport(*app, s, false);
    std::memset(&want[3 * 8], 0x81, 8);
    std::memset(&want[4 * 8], 0x42, 8);
    EXPECT_EQ(Bytes(set, set + 2048), want);
    EXPECT_FALSE(app->showImportCharset);
    app.reset();
    unsetenv("APPDATA");
    unsetenv("VORLIX_ASSETS");
    Platform::initWithBasePath("");
}

}  // namespace
