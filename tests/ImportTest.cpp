#include <stb/stb_image_write.h>

#include <bitset>
#include <numeric>

#include "app/App.h"
#include "app/MachineAssets.h"
#include "core/Palette.h"
#include "core/Vic.h"
#include "app/FileActions.h"
#include "import/ColorReducer.h"
#include "import/FontImport.h"
#include "app/ImportActions.h"
#include "import/PetsciiConverter.h"
#include "import/PictureImport.h"
#include "platform/Platform.h"
#include "tests/ChildMemory.h"
#include "tests/FileTestSupport.h"
#include "tests/ResizeReference.h"

namespace {

Bytes font(const char* name) { return readBytes(std::string(VORLIX_ASSET_DIR) + "/fonts/" + name); }

u32 grey(int v) { return u32(v) * 0x10101u | 0xFF000000u; }

// An App with the built assets and its settings in a scratch folder, for as long as the test runs.
struct ScratchApp {
    TempDir dir;
    std::unique_ptr<App> app;
    ScratchApp() {
        setenv("APPDATA", dir.path.c_str(), 1);
        setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
        Platform::initWithBasePath("");
        app = std::make_unique<App>();
    }
    ~ScratchApp() {
        app.reset();
        unsetenv("APPDATA");
        unsetenv("VORLIX_ASSETS");
        Platform::initWithBasePath("");
    }
};

struct Glyph {
    u8 p[8];
    Glyph(ImportFontState& s, int cp) { renderGlyph(s, p, cp); }
    int bits(int row) const { return int(std::bitset<8>(p[row]).count()); }
    int bits() const { return int(std::bitset<64>(*reinterpret_cast<const unsigned long long*>(p)).count()); }
};

// A picture of width x 200 reduced and stored into a reset machine.
struct Reduced {
    Palette pal;  // default colours: 11, 12, 15 are the greys 85, 128, 171
    ColorReducer r;
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    Reduced(int width, int mode, int dither, int bg, const std::function<u32(const Palette&, int x, int y)>& f) {
        m->reset();
        std::vector<u32> px(size_t(width) * 200);
        for (int i = 0; i < width * 200; ++i) px[i] = f(pal, i % width, i / width);
        r.SetPalette(pal.rgb);
        r.Reduce(px, width, mode, dither, bg);
        r.Store(*m);
    }
};

// Shapes anyone can check by eye, in both Liberation faces.
TEST(FontImport, LettersHaveTheirShapes) {
    for (auto [face, stroke, size] : {std::tuple{"LiberationSans-Regular.ttf", 'l', 8}, {"LiberationMono-Regular.ttf", '!', 12}}) {
        SCOPED_TRACE(face);
        ImportFontState s;
        ASSERT_TRUE(loadFont(s, face, font(face))) << s.error;
        s.size = size;
        const Glyph l(s, stroke), t(s, 'T');
        EXPECT_EQ(std::bitset<8>(std::accumulate(l.p, l.p + 8, 0, std::bit_or<>())).count(), 1u);  // one upright stroke
        const int top = int(std::find_if(t.p, t.p + 8, [](u8 b) { return b != 0; }) - t.p);
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

// A small font from fontTools whose only character map is "unicode" (3,1) or "symbol" (3,0); empty when
// fontTools is missing.
Bytes generatedFont(const std::string& cmap) {
    TempDir dir;
    const auto file = dir.path / "cmap.ttf";
    const std::string script = (std::filesystem::path(__FILE__).parent_path() / "font_with_cmap.py").string();
    if (std::system(("/usr/bin/python3 " + script + " " + file.string() + " " + cmap + " 2>/dev/null").c_str()) != 0) {
        EXPECT_EQ(std::getenv("CI"), nullptr) << "fontTools is needed under CI";
        return {};
    }
    return readBytes(file);
}

// From size 10 up the baseline stays at row 7: the letters' bottom row, the bar of L and E, is row 6, whatever
// is cut at the top.
TEST(FontImport, LargeSizesKeepTheBottomRow) {
    for (const char* face : {"LiberationSans-Regular.ttf", "LiberationMono-Regular.ttf"}) {
        ImportFontState s;
        ASSERT_TRUE(loadFont(s, face, font(face))) << s.error;
        for (s.size = 10; s.size <= 16; ++s.size)
            for (int cp : {'L', 'E'}) {
                const Glyph g(s, cp);
                EXPECT_TRUE(g.bits(6) >= 3 && g.bits(6) > g.bits(5) && g.bits(7) == 0) << face << " " << s.size << char(cp);
            }
    }
}

// Typed slider values come back into the sliders' ranges: size, offsets, threshold.
TEST(FontImport, SettingsStayInTheirRanges) {
    for (auto [in, want] : {std::pair{std::array{0, -9, 9, 0}, std::array{4, -4, 4, 1}},
                            {std::array{-3, 4, -4, 300}, std::array{4, 4, -4, 255}},
                            {std::array{17, 0, 0, -1}, std::array{16, 0, 0, 1}},
                            {std::array{12, 2, -1, 110}, std::array{12, 2, -1, 110}}}) {
        ImportFontState s;
        s.size = in[0], s.xOffset = in[1], s.yOffset = in[2], s.threshold = in[3];
        clampFontSettings(s);
        EXPECT_EQ((std::array{s.size, s.xOffset, s.yOffset, s.threshold}), want);
    }
}

// Random damage is left to the font fuzzer.
TEST(FontImport, DamagedFontsAreRefused) {
    const Bytes good = font("LiberationSans-Regular.ttf");
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
        {span(300, 300), "no height"}, {span(-20, 0), "no height"}, {span(1, 0), "larger than"},
        {generatedFont("symbol"), "no Unicode character map"}};
    ImportFontState unicode;
    EXPECT_TRUE(generatedFont("unicode").empty() || loadFont(unicode, "unicode", generatedFont("unicode"))) << unicode.error;
    for (const auto& [bytes, why] : cases) {
        if (bytes.empty()) continue;
        ImportFontState s;
        EXPECT_FALSE(loadFont(s, "damaged", bytes));
        EXPECT_NE(s.error.find(why), std::string::npos) << why << ": " << s.error;
        EXPECT_EQ(Glyph(s, 'A').bits(), 0);
    }
}

// Groups go to their slots; Cancel gives back only the slots the window still holds.
TEST(FontImport, CharsetOpeningAndCancel) {
    ScratchApp scratch;
    App& app = *scratch.app;
    u8* set = app.machine.ram + 0x2800;
    ImportFontState& s = app.ui.importFont;
    EXPECT_FALSE(beginFontImport(app, s));  // the reset VIC sees the ROM
    EXPECT_EQ(app.popups.at(0).text, "I'm sorry, i cannot import to ROM. Please select a RAM bank.");

    app.machine.vic[VicReg::MemoryPointers] = 0x1A;
    for (int i = 0; i < 2048; ++i) set[i] = u8(i * 7);
    Bytes want(set, set + 2048);
    ASSERT_TRUE(beginFontImport(app, s));
    EXPECT_TRUE(app.showCharset);
    EXPECT_EQ(app.undoBuffer.undoName(), "import charset");
    ASSERT_TRUE(loadFont(s, "sans", font("LiberationSans-Regular.ttf")));
    for (auto [capitals, small, cp, slot] : {std::tuple{true, false, 'A', 1}, {true, true, 'A', 65}, {false, true, 'a', 1},
                                             {true, true, '0', 48}, {true, true, '[', 27}}) {
        s.capitals = capitals, s.smallLetters = small;
        renderFontCharset(app.machine, s);
        EXPECT_EQ(std::memcmp(set + slot * 8, Glyph(s, cp).p, 8), 0) << char(cp);
        EXPECT_EQ(std::memcmp(set + 65 * 8, capitals && small ? Glyph(s, 'A').p : &want[65 * 8], 8), 0);
    }
    // Something else rewrites slot 3, then slot 4: a new render and Cancel keep both.
    std::memset(set + 3 * 8, 0x81, 8);
    s.size = 12;
    renderFontCharset(app.machine, s);
    std::memset(set + 4 * 8, 0x42, 8);
    endFontImport(app, s, false);
    std::memset(&want[3 * 8], 0x81, 8);
    std::memset(&want[4 * 8], 0x42, 8);
    EXPECT_EQ(Bytes(set, set + 2048), want);
    EXPECT_FALSE(app.showImportCharset);
}

// A screen drawn from characters of a set in known colours converts back to them (the lowest code of a repeated
// pattern); a solid picture takes a space or a reversed space. Store points the VIC at the set the codes were
// matched against, so the screen shows the preview; the current set (2) stays where it is.
TEST(PetsciiConverter, PicturesConvertBackAndStoreAsPreviewed) {
    // The set, colours, background, detail, no letters; the colours drawn at random for each cell, the background
    // (-1: any) and the code (-1: random codes); the VIC's bank, $D018 and mode before, the bank and $D018 after Store.
    struct Case {
        int set, colors, background;
        float detail;
        bool noLetters;
        std::vector<int> fg;
        int bg, code, bank, d018, mode, wantBank, wantD018;
    } cases[] = {
        {0, 2, 6, 0.5f, false, {2, 5, 7, 14}, 6, -1, 1, 0x45, 0, 0, 0x15},
        {1, 2, 0, 1.0f, false, {2, 5, 7, 14}, 0, -1, 1, 0x45, 0, 0, 0x17},
        {0, 0, 0, 0.8f, false, {1}, 0, -1, 3, 0x14, 3, 2, 0x14}, {0, 2, 7, 0.5f, false, {7}, 7, 32, 0, 0x14, 0, 0, 0x14},
        {1, 1, 11, 0.5f, false, {0, 12, 15, 1}, 11, -1, 2, 0xF1, 0, 2, 0xF7},
        {0, 2, -1, 0.5f, false, {0}, 0, 32, 0, 0x2B, 4, 0, 0x25},  // every background scores 0: the first allowed
        {0, 2, -1, 0.5f, false, {5}, 0, 160, 0, 0x14, 0, 0, 0x14}, {0, 0, -1, 0.5f, false, {1}, 0, 160, 0, 0x14, 0, 0, 0x14},
        {0, 1, 5, 0.5f, true, {12}, 0, 160, 0, 0x14, 0, 0, 0x14},  // 5 is no grey: automatic
        {2, 2, 6, 0.5f, false, {2, 5, 7, 14}, 6, -1, 1, 0x38, 3, 1, 0x38},
        {2, 2, 6, 0.5f, false, {2, 5, 7, 14}, 6, -1, 0, 0x1C, 4, 0, 0x1C},
        {2, 2, 6, 0.5f, false, {2, 5, 7, 14}, 6, -1, 2, 0x14, 0, 2, 0x14},
    };
    auto m = std::make_unique<Machine>();
    Palette pal;
    PetsciiConverter conv;
    std::mt19937 rng{3};
    loadMachineAssets(*m, VORLIX_ASSET_DIR);
    conv.SetPalette(pal.rgb);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.set << " " << c.colors << " " << c.background << " " << c.d018);
        for (int a = 0; a < 65536; ++a) m->ram[a] = u8(rng());
        m->setGfxMode(c.mode);
        m->bank = u16(c.bank);
        m->vic[VicReg::MemoryPointers] = u8(c.d018);
        conv.SetCharset(*m, c.set);
        u8 code[1000], col[1000];
        std::vector<u32> pic(320 * 200), shown(320 * 200);
        for (int n = 0; n < 1000; ++n) {
            do code[n] = c.code < 0 ? u8(rng()) : 160;  // a blank cell has no colour to find
            while (!std::memcmp(conv.charset[code[n]], "\0\0\0\0\0\0\0\0", 8));
            col[n] = u8(c.fg[rng() % c.fg.size()]);
            for (int i = 0; i < 64; ++i)
                pic[(n / 40 * 8 + i / 8) * 320 + n % 40 * 8 + i % 8] =
                    pal.pixel(conv.charset[code[n]][i / 8] >> (7 - i % 8) & 1 ? col[n] : c.bg);
        }
        conv.Convert(pic, PetsciiOptions{c.set, c.colors, c.background, c.detail, true, c.noLetters});
        EXPECT_EQ(conv.bg, c.bg);
        EXPECT_EQ(conv.Preview(), pic);
        for (int n = 0; n < 1000; ++n) {
            int first = 0;
            while (std::memcmp(conv.charset[first], conv.charset[code[n]], 8)) ++first;
            ASSERT_EQ(conv.screen[n], c.code < 0 ? first : c.code) << n;
            ASSERT_TRUE(c.code == 32 || conv.color[n] == col[n]) << n;
        }
        conv.Store(*m, c.set);
        EXPECT_EQ((std::array{m->gfxMode(), int(m->bank), int(m->vic[VicReg::MemoryPointers])}),
                  (std::array{int(GfxMode::Text), c.wantBank, c.wantD018}));
        EXPECT_EQ(m->vic[VicReg::Background0], conv.bg);
        Vic::renderScreen(*m, pal, shown.data(), 320);
        EXPECT_EQ(shown, conv.Preview());
    }
}

TEST(ColorReducer, ResizePlacesAndAverages) {
    const u32 one = 0x80FFFFFFu;  // half transparent: weighted by alpha, grey 128
    // Zoom, keep aspect, and the area the pixel covers.
    for (auto [fit, aspect, x0, x1, y0, y1] : {std::tuple{true, false, 0, 320, 0, 200}, {true, true, 60, 260, 0, 200},
                                               {false, true, 159, 161, 99, 101}}) {
        std::vector<u32> out = ColorReducer::Resize(&one, 1, 1, 320, fit, aspect);
        for (int i = 0; i < 320 * 200; ++i) {
            bool in = i % 320 >= x0 && i % 320 < x1 && i / 320 >= y0 && i / 320 < y1;
            ASSERT_EQ(out[i], in ? grey(128) : 0xFF000000u) << fit << aspect << " " << i;
        }
    }
    // Larger than the screen without zoom: its centre, each wide pixel the mean of two columns.
    std::vector<u32> big(400 * 300);
    for (int i = 0; i < 400 * 300; ++i) big[i] = grey(i & 1 ? 200 : 100);
    for (u32 p : ColorReducer::Resize(big.data(), 400, 300, 160, false, false)) ASSERT_EQ(p, grey(150));
}

TEST(ColorReducer, KnownResults) {
    // Multicolour: columns 0-29 of colour 6 make it the background; the other cells are solid 2 or 9.
    Reduced multi(160, 2, 3, -1, [](const Palette& p, int x, int y) { return p.pixel(x < 120 ? 6 : y / 8 % 2 ? 2 : 9); });
    EXPECT_EQ(multi.m->vic[VicReg::Background0], 6);
    for (int n = 0; n < 1000; ++n) {
        int c = n % 40 < 30 ? 6 : n / 40 % 2 ? 2 : 9;
        // Bitmap, screen and colour RAM bytes of the cell.
        ASSERT_EQ(multi.m->ram[0x2000 + n * 8] << 16 | multi.m->ram[0x0400 + n] << 8 | multi.m->ram[0xD800 + n],
                  (c == 6 ? 0 : 0x55) << 16 | (c << 4 | 6) << 8 | 6) << n;
    }
    // Two colours per cell, equal counts: the lower index takes slot 0.
    Reduced hires(320, 2, 1, -1, [](const Palette& p, int x, int) { return p.pixel(x % 8 < 4 ? 7 : 2); });
    EXPECT_EQ(hires.m->ram[0x2000 + 77] << 8 | hires.m->ram[0x0400 + 500], 0xF072);
    Reduced mc(160, 2, 0, 0, [](const Palette& p, int x, int) { return p.pixel(x % 4 < 2 ? 2 : 7); });
    EXPECT_EQ(mc.m->ram[0x2000 + 77] << 8 | mc.m->ram[0x0400 + 500], 0x5A27);
    // A grey ramp takes the nearest grey; 213 lies between 171 and 255 and takes the earlier, 15.
    Reduced ramp(320, 1, 0, -1, [](const Palette&, int x, int) { return grey(std::min(x, 255)); });
    for (int x = 0; x < 320; ++x) {
        int g = std::min(x, 255);
        ASSERT_EQ(ramp.r.pixels[100 * 320 + x], g <= 42 ? 0 : g <= 106 ? 11 : g <= 149 ? 12 : g <= 213 ? 15 : 1) << g;
    }
    // Background 5 is no mono colour: chosen automatically, the commoner white.
    EXPECT_EQ(Reduced(160, 0, 0, 5, [](const Palette&, int x, int) { return grey(x < 100 ? 255 : 0); }).r.bg, 1);
}

// A grey bottom row: only the own-row weights carry error along it. Left
// alone the error settles at grey / (1 - kept share); white appears once that
// reaches 127.5 (Floyd-Steinberg keeps 7/16, Jarvis 12/48, Stucki 12/42).
TEST(ColorReducer, KernelsSpreadErrorAlongTheRow) {
    // Kernel, grey, white expected.
    for (auto [dither, level, white] : {std::tuple{0, 120, false}, {1, 70, false}, {1, 74, true}, {2, 94, false},
                                        {2, 97, true}, {3, 90, false}, {3, 93, true}, {9, 120, false}}) {
        Reduced run(320, 0, dither, -1, [&](const Palette&, int, int y) { return grey(y == 199 ? level : 0); });
        int whites = 0;
        for (int i = 0; i < 320 * 200; ++i) whites += run.r.pixels[i] == 1 ? (i < 320 * 199 ? 1000 : 1) : 0;
        EXPECT_EQ(whites > 0, white) << dither << " " << level;
        EXPECT_LT(whites, 1000) << "error went up";
    }
}

// Noise in every mode and kernel: the stored bitmap, drawn by the renderer, is
// the preview, and no cell holds more colours than the mode allows.
TEST(ColorReducer, StoredCellsKeepTheLimits) {
    std::mt19937 rng(7);
    for (int width : {320, 160})
        for (int mode : {0, 1, 2})
            for (int dither : {0, 1, 2, 3}) {
                Reduced run(width, mode, dither, -1, [&](const Palette&, int, int) { return rng() | 0xFF000000u; });
                std::vector<u32> shown(320 * 200), preview = run.r.Preview();
                Vic::renderScreen(*run.m, run.pal, shown.data(), 320);
                for (int cell = 0; cell < 1000; ++cell) {
                    std::set<u32> used;
                    for (int i = 0; i < 64; ++i) {
                        int x = cell % 40 * 8 + i % 8, y = cell / 40 * 8 + i / 8;
                        ASSERT_EQ(shown[y * 320 + x], preview[y * width + x * width / 320]) << width << mode << dither;
                        if (width == 320 || shown[y * 320 + x] != run.pal.pixel(run.r.bg)) used.insert(shown[y * 320 + x]);
                    }
                    ASSERT_LE(used.size(), width == 320 ? 2u : 3u);
                }
            }
}

Bytes fromHex(const std::string& hex) {
    Bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) b.push_back(u8(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

// Each kind written by ImageMagick decodes to the same screen (JPEG nearly); a cut or damaged file of each
// kind, one too large by its header alone, and inputs the fuzzers found are refused with a reason.
TEST(PictureImport, DecodesWhatImageMagickWritesAndRefusesTheRest) {
    TempDir dir;
    Palette pal;
    std::vector<u32> pic(64 * 40), px;  // 16 flat colours, so every kind holds it exactly
    // The first and last row start red, then black: where a BMP with a longer header would hold its depth,
    // non-zero, and its compression, zeros.
    for (int i = 0; i < 64 * 40; ++i)
        pic[i] = pal.pixel(i % 64 < 8 && (i < 64 || i >= 39 * 64) ? (i % 64 ? 0 : 2) : (i % 64 / 8 + i / 320 * 3) % 16);
    const auto png = dir.path / "pic.png";
    ASSERT_TRUE(stbi_write_png(png.c_str(), 64, 40, 4, pic.data(), 64 * 4));
    const std::string ihdr = "89504e470d0a1a0a0000000d49484452";  // then width, height, 8-bit RGBA; nothing after it
    // What is refused, and words the reason must hold ("" for any reason).
    struct Refused {
        std::string what;
        Bytes bytes;
        std::string words;
    };
    std::vector<Refused> refused = {
        {"empty", {}, ""}, {"too wide", fromHex(ihdr + "00004e200000000a080600000000000000"), ""},
        {"too large", fromHex(ihdr + "0000271000002710080600000000000000"), ""},
        {"too large: 20000 x 20000", fromHex(ihdr + "00004e2000004e20080600000000000000"), ""},
        // 16-bit binary PNM, which the decoder would read past its buffer: no kind the import takes.
        {"not a picture: big16.png", Bytes{'P', '6', '\n', '4', '0', '9', '6', ' ', '4', '0', '9', '6', '\n', '6', '5', '5', '3', '5', '\n'}, ""},
        // A small PNG whose end chunk was damaged: the decoder failed with an empty reason.
        {"found: broken end chunk",
         fromHex("89504e470d0a1a0a0000000d4948445200000008000000080806000000c40fbe8b0000007149444154785e63646060f8"
                 "7fe14e212bc39a29990c6f2cd31924aedb33fcb2776770dcb18cc1a5631203e38478d5ffd23e6d0c93dbbe33e4ed7cc6"
                 "702f468de134ff720693d70f192eb39f6260de71f15d4375bb0cc3d757810c57fe4c6060e7e46410088d65b0faf19ea1"
                 "64c1c9a1610200de746b0dcae8916a0000000049454e44ffffffae426082"), "damaged"},
        // A run-length TGA header alone that claims 16384 x 4096 pixels.
        {"RLE TGA header only", fromHex("00000a000000000000000000004000102018"), "the file is cut short"},
        // A Huffman table of 16 x 255 codes, which the other decoder wrote past its table.
        {"JPEG with 4080 Huffman codes", fromHex("ffd8ffc4100300" + std::string(32, 'f') + std::string(8160, '0') + "ffd9"), "damaged"},
        // A GIF whose logical screen is 0 pixels wide.
        {"GIF 0 wide", fromHex("474946383961000028000000002c000000000100010000020244010003b"), "the picture has no size (0 x 40 pixels)"},
    };
    // ImageMagick's format prefix, the extension, bytes appended or dropped at the end, the tolerance; bmp2 has the
    // 12-byte OS/2 header. A GIF without its final trailer byte is read as stb, ImageMagick and Pillow read it.
    for (auto [format, ext, tail, drop, tolerance] :
         {std::tuple{"", "png", "", 0, 0}, {"png64:", "png", "", 0, 0}, {"", "bmp", "", 0, 0}, {"-type TrueColor bmp2:", "bmp", "", 0, 0},
          {"", "gif", "", 0, 0}, {"", "gif", "after the trailer", 0, 0}, {"", "gif", "", 1, 0}, {"", "tga", "", 0, 0},
          {"-compress RLE ", "tga", "", 0, 0}, {"", "psd", "", 0, 0}, {"-quality 100 ", "jpg", "", 0, 12}}) {
        SCOPED_TRACE(std::string(format) + ext + tail + std::to_string(drop));
        const auto file = dir.path / (std::string("out.") + ext);
        // This ImageMagick writes the rows of a bottom-up TGA top first: ask for top-down.
        ASSERT_EQ(std::system(("/usr/bin/convert " + png.string() + " -alpha off -orient TopLeft " + format + file.string()).c_str()), 0);
        Bytes bytes = readBytes(file);
        bytes.insert(bytes.end(), tail, tail + std::strlen(tail));
        bytes.resize(bytes.size() - size_t(drop));
        int w = 0, h = 0;
        std::string error;
        ASSERT_TRUE(decodePicture(bytes, px, w, h, error)) << error;
        ASSERT_EQ(w * 1000 + h, 64040);
        for (size_t i = 0; i < pic.size(); ++i)
            for (int k = 0; k < 24; k += 8)
                ASSERT_LE(std::abs(int(px[i] >> k & 255) - int(pic[i] >> k & 255)), tolerance) << i;
        Bytes bad = bytes;
        for (size_t i = 0; i < 4; ++i) bad[i] ^= 0x5A;
        if (*tail || drop) continue;
        const std::string name = format + std::string(ext);
        refused.push_back({name + " cut", Bytes(bytes.begin(), bytes.begin() + long(bytes.size() * 2 / 3)), "the file is cut short"});
        refused.push_back({name + " damaged", bad, ""});
        // Cut inside the header: the BMPs at 28 bytes, the others where their header's size field ends.
        const size_t header = ext == std::string("bmp") ? 28 : 18;
        refused.push_back({name + " header cut", Bytes(bytes.begin(), bytes.begin() + long(header)), "the file is cut short"});
    }
    // ImageMagick writes palette pictures as run-length BMPs, which the decoder does not read.
    const auto rle = dir.path / "rle.bmp";
    ASSERT_EQ(std::system(("/usr/bin/convert " + png.string() + " -type Palette -compress RLE bmp3:" + rle.string()).c_str()), 0);
    refused.push_back({"RLE BMP", readBytes(rle), "compression"});
    for (const auto& [what, bytes, words] : refused) {
        int w = 0, h = 0;
        std::string error;
        EXPECT_FALSE(decodePicture(bytes, px, w, h, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_NE(error.find(words), std::string::npos) << what << ": " << error;
        EXPECT_TRUE(what.rfind("too", 0) != 0 || error.find("too large") != std::string::npos) << what << ": " << error;
        // The size reason names the size the header gives and the limit.
        if (const size_t colon = what.find(": "); what.rfind("too", 0) == 0 && colon != std::string::npos) {
            EXPECT_TRUE(error.find(what.substr(colon + 2)) != std::string::npos && error.find("16384") != std::string::npos)
                << error;
        }
        if (what.rfind("not a picture", 0) == 0) {
            EXPECT_NE(error.find("not a PNG, JPEG, BMP, GIF, TGA or PSD"), std::string::npos) << error;
        }
    }
}

}  // namespace

namespace {

// Noise, every third row opaque, the others with transparent and half-transparent pixels: every size and
// placement gives the reference's bytes (3 x 60000, bright, puts 300 rows over 65535 into one box).
TEST(ColorReducer, ResizeGivesTheReferenceBytes) {
    std::mt19937 rng(11);
    for (auto [w, h] : {std::pair{320, 200}, {1920, 1080}, {37, 23}, {401, 977}, {3, 60000}}) {
        std::vector<u32> pic(size_t(w) * h);
        for (size_t i = 0; i < pic.size(); ++i) {
            const u32 alpha = i / w % 3 == 0 ? 255 : i % 97 < 5 ? 0 : i % 89 < 7 ? rng() >> 24 : 255;
            pic[i] = (rng() & 0xFFFFFF) | (h == 60000 ? 0xF0F0F0 : 0) | alpha << 24;
        }
        for (int dstW : {160, 320})
            for (auto [fit, aspect] : {std::pair{true, false}, {true, true}, {false, false}})
                ASSERT_EQ(ColorReducer::Resize(pic.data(), w, h, dstW, fit, aspect), resizeReference(pic, w, h, dstW, fit, aspect))
                    << w << "x" << h << " " << dstW << fit << aspect;
    }
}

// Distance of two pictures, each box-blurred 4x4 (in whole blocks): the summed absolute channel differences.
double blurredDistance(const std::vector<u32>& a, const std::vector<u32>& b, int width) {
    double d = 0;
    for (int by = 0; by < 200; by += 4)
        for (int bx = 0; bx < width; bx += 4)
            for (int k = 0; k < 24; k += 8) {
                int sa = 0, sb = 0;
                for (int y = by; y < by + 4; ++y)
                    for (int x = bx; x < bx + 4; ++x) sa += a[y * width + x] >> k & 255, sb += b[y * width + x] >> k & 255;
                d += std::abs(sa - sb) / 16.0;
            }
    return d;
}

// A saturated picture: ImageMagick's red-blue plasma with a yellow disc and white bars on it. Dithered with
// any kernel, in both bitmap modes, it stays nearer the source than without dithering once both are blurred.
TEST(ColorReducer, DitheringSaturatedPicturesStaysCloseToTheSource) {
    TempDir dir;
    const auto file = dir.path / "plasma.png";
    ASSERT_EQ(std::system(("/usr/bin/convert -size 640x400 -seed 7 plasma:red-blue -fill yellow -draw 'circle 320,200 320,90' "
                           "-fill white -draw 'rectangle 60,300 580,312' -draw 'rectangle 60,330 580,336' -alpha off " +
                           file.string()).c_str()), 0);
    std::vector<u32> pic;
    int w = 0, h = 0;
    std::string error;
    ASSERT_TRUE(decodePicture(readBytes(file), pic, w, h, error)) << error;
    Palette pal;
    for (int width : {320, 160}) {
        const std::vector<u32> source = ColorReducer::Resize(pic.data(), w, h, width, true, false);
        ColorReducer plain;
        plain.SetPalette(pal.rgb);
        plain.Reduce(source, width, 2, 0, -1);
        const double undithered = blurredDistance(plain.Preview(), source, width);
        for (int dither : {1, 2, 3}) {
            ColorReducer r;
            r.SetPalette(pal.rgb);
            r.Reduce(source, width, 2, dither, -1);
            EXPECT_LT(blurredDistance(r.Preview(), source, width), undithered) << width << " " << dither;
        }
    }
}

}  // namespace

namespace {

Bytes flatPng(int w, int h, u32 colour) {
    std::vector<u32> pic(size_t(w) * h, colour);
    Bytes png;
    stbi_write_png_to_func(Actions::pngWrite, &png, w, h, 4, pic.data(), w * 4);
    return png;
}

// Noise in RGB, which PNG cannot pack: the file is about as large as its pixels.
Bytes noisePng(int w, int h, std::vector<u32>* pixels = nullptr) {
    std::vector<u8> rgb(size_t(w) * h * 3);
    u32 x = 2463534242u;
    for (u8& c : rgb) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = u8(x >> 24);
    }
    if (pixels)
        for (size_t i = 0; i < rgb.size(); i += 3)
            pixels->push_back(rgb[i] | u32(rgb[i + 1]) << 8 | u32(rgb[i + 2]) << 16 | 0xFF000000u);
    Bytes png;
    stbi_write_png_to_func(Actions::pngWrite, &png, w, h, 3, rgb.data(), w * 3);
    return png;
}

// The window's state through one opening: options that only change the reduction, and placements seen before,
// reuse the resampled picture; the result is what a fresh conversion gives, acceptance applies the palette the
// preview used, and the picture, its name and options stay for the next opening, whose previews are made again.
TEST(PictureImport, OptionsReuseTheResampledPictureAndAcceptanceAppliesThePalette) {
    ScratchApp scratch;
    App& app = *scratch.app;
    app.setPalette(0);
    std::vector<u32> pic;
    const Bytes png = noisePng(100, 70, &pic);
    ImportPicState& s = app.ui.importPicture;
    openImportPicture(app, "noise.png", png);
    ASSERT_TRUE(app.showImportPicture);
    s.resolution = 1;
    // An option change and whether it resamples.
    const std::pair<std::function<void()>, bool> steps[] = {
        {[] {}, true},
        {[&] { s.dithering = 3; }, false},
        {[&] { s.colors = 1; }, false},
        {[&] { s.background = 6; }, false},
        {[&] { s.palette = 4; }, false},
        {[&] { s.resolution = 0; }, true},
        // Both widths stay resampled: a mode switch only reduces.
        {[&] { s.resolution = 1; }, false},
        {[&] { s.resolution = 0; }, false},
        {[&] { s.zoomToFit = false; }, true},
        {[&] { s.keepAspect = true; }, true},
        {[&] { s.dithering = 1; }, false},
        // Back to the first placement: both its widths are kept.
        {[&] { s.zoomToFit = true, s.keepAspect = false; }, false},
        {[&] { s.keepAspect = true; }, true},
        {[&] { s.keepAspect = false; }, false},
    };
    for (const auto& [change, resamples] : steps) {
        const int runs = s.resampled.runs;
        change();
        recomputeImport(app, s);
        EXPECT_EQ(s.resampled.runs - runs, resamples ? 1 : 0);
        Palette pal;
        pal.set(s.palette);
        ColorReducer fresh;
        fresh.SetPalette(pal.rgb);
        const int width = s.resolution == 1 ? 160 : 320;
        fresh.Reduce(ColorReducer::Resize(pic.data(), 100, 70, width, s.zoomToFit, s.keepAspect), width, s.colors,
                     s.dithering, s.resolution ? s.background : -1);
        ASSERT_EQ(s.resultPreview.pixels, fresh.Preview());
    }
    const std::vector<u32> shown = s.resultPreview.pixels;
    const ImportPicState options = s;
    // OK, Cancel and the close box all close through closeImport.
    for (bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        app.showImportPicture = true;
        if (ok) acceptImport(app, s);
        else closeImport(app, s);
        EXPECT_EQ(app.palette.index, 4);
        EXPECT_EQ(app.undoBuffer.undoName(), "import image");
        EXPECT_FALSE(app.showImportPicture);
        EXPECT_EQ(s.name, "noise.png");
        EXPECT_EQ(s.pixels, pic);
        EXPECT_EQ(std::tie(s.resolution, s.dithering, s.colors, s.background, s.palette, s.zoomToFit, s.keepAspect),
                  std::tie(options.resolution, options.dithering, options.colors, options.background, options.palette,
                           options.zoomToFit, options.keepAspect));
        // Nothing of this opening stays on show: the next one makes its previews again.
        EXPECT_TRUE(s.sourcePreview.pixels.empty() && s.resultPreview.pixels.empty() && s.dirty);
        ASSERT_TRUE(stepImportPreview(app, s, 1000));
        EXPECT_EQ(s.resultPreview.pixels, shown);
    }
    // A new picture takes the kept one's place.
    closeImport(app, s);
    openImportPicture(app, "flat.png", flatPng(8, 6, 0xFF336699u));
    EXPECT_EQ(s.name + " " + std::to_string(s.width) + "x" + std::to_string(s.height), "flat.png 8x6");
}

// A typed Detail value comes back into the slider's range before it is used.
TEST(PictureImport, DetailStaysInItsRange) {
    ScratchApp scratch;
    App& app = *scratch.app;
    ImportPicState& s = app.ui.importPicture;
    openImportPicture(app, "flat.png", flatPng(32, 20, 0xFF336699u));
    s.resolution = 2;
    for (auto [typed, kept, detail] : {std::tuple{500, 100, 1.0f}, {-20, 0, 0.0f}, {37, 37, 0.37f}}) {
        s.detailPercent = typed;
        recomputeImport(app, s);
        EXPECT_EQ(s.detailPercent, kept);
        EXPECT_FLOAT_EQ(s.options.detail, detail);
    }
}

}  // namespace

namespace {

// A 16-bit PNG never exists in full at 16 bits: decoding it grows the process by little more than the 8-bit
// pixels (16 MB here; holding it at 16 bits too would take three to five times that).
TEST(PictureImport, SixteenBitPicturesDecodeWithinTheirEightBitSize) {
    TempDir dir;
    const auto file = dir.path / "deep.png";
    ASSERT_EQ(std::system(("/usr/bin/convert -size 2048x2048 gradient:red-blue -depth 16 png64:" + file.string()).c_str()), 0);
    const Bytes png = readBytes(file);
    const long grown = peakGrowthInChild([&] {
        std::vector<u32> px;
        int w = 0, h = 0;
        std::string error;
        return decodePicture(png, px, w, h, error) && w == 2048 && h == 2048 && px[0] == 0xFF0000FFu;
    });
    EXPECT_GE(grown, 0) << "decoded wrongly";
    EXPECT_LT(grown, 24 * 1024) << "kilobytes";
}

}  // namespace

namespace {

std::vector<u32> stbDecode(const Bytes& bytes, int& w, int& h) {
    int n = 0;
    stbi_uc* data = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &n, 4);
    std::vector<u32> px;
    if (data) px.assign(reinterpret_cast<u32*>(data), reinterpret_cast<u32*>(data) + size_t(w) * h);
    stbi_image_free(data);
    return px;
}

// A PNG or JPEG over 1920 x 1080 is read a band of rows per call, across frames: the picture, and both widths
// resampled as the rows arrived, come out as the whole-file decode and resampling give them, so the first preview
// only reduces. Until it ends, the window keeps its picture; Cancel and a cut file leave it as it was.
TEST(PictureImport, LargePicturesAreReadInBandsAcrossFrames) {
    ScratchApp scratch;
    App& app = *scratch.app;
    TempDir dir;
    ImportPicState& s = app.ui.importPicture;
    const std::vector<u32> small(40 * 30, 0xFF204080u);
    const Bytes smallPng = flatPng(40, 30, small[0]);
    openImportPicture(app, "small.png", smallPng);
    ASSERT_FALSE(importLoading(s));
    long long smallId = s.pictureId;
    auto unchanged = [&](bool open) {
        EXPECT_EQ(s.name + " " + std::to_string(s.pictureId - smallId) + " " + std::to_string(app.showImportPicture),
                  "small.png 0 " + std::to_string(open));
        EXPECT_EQ(s.pixels, small);
    };
    // ImageMagick's options, the extension, and how far the whole-file decoder's pixels may lie from the others'.
    for (auto [options, ext, rounding] :
         {std::tuple{"", "png", 0}, {"-interlace PNG ", "png", 0}, {"-depth 16 ", "png", 0},
          {"-quality 90 ", "jpg", 3}, {"-interlace JPEG -quality 90 ", "jpg", 3}}) {
        SCOPED_TRACE(std::string(options) + ext);
        const auto file = dir.path / (std::string("big.") + ext);
        ASSERT_EQ(std::system(("/usr/bin/convert -size 2000x1100 gradient:red-blue -fill yellow -draw 'circle 700,500 700,90' "
                               "-alpha off " + std::string(options) + file.string()).c_str()), 0);
        const Bytes bytes = readBytes(file);
        ASSERT_TRUE(decodesInBands(bytes));
        int w = 0, h = 0;
        const std::vector<u32> stb = stbDecode(bytes, w, h);
        ASSERT_EQ(w * 10000 + h, 20001100);

        // Cancel part way: nothing changes.
        openImportPicture(app, "big", bytes);
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(stepImportLoad(app, s, 0));
        EXPECT_GT(importLoadProgress(s), 0.0);
        EXPECT_LT(importLoadProgress(s), 1.0);
        cancelImportLoad(app, s);
        unchanged(true);
        // A small picture opened while a large one is read takes its place.
        openImportPicture(app, "big", bytes);
        ASSERT_TRUE(stepImportLoad(app, s, 0));
        openImportPicture(app, "small.png", smallPng);
        EXPECT_FALSE(importLoading(s));
        smallId = s.pictureId;
        unchanged(true);

        // Cut to two thirds: refused at the end, nothing changes.
        openImportPicture(app, "cut", Bytes(bytes.begin(), bytes.begin() + long(bytes.size() * 2 / 3)));
        while (stepImportLoad(app, s, 0)) {
        }
        unchanged(true);
        ASSERT_FALSE(app.popups.empty());
        EXPECT_EQ(app.popups.back().text, "Couldn't read the image: the file is cut short");
        app.popups.clear();

        // Whole, from a closed window.
        closeImport(app, s);
        openImportPicture(app, "big", bytes);
        EXPECT_TRUE(app.showImportPicture && importLoading(s));
        int calls = 1;
        while (stepImportLoad(app, s, 0)) ++calls;
        EXPECT_GT(calls, 20);
        ASSERT_EQ(s.width * 10000 + s.height, 20001100);
        std::vector<u32> whole;
        std::string error;
        ASSERT_TRUE(decodePicture(bytes, whole, w, h, error)) << error;
        ASSERT_EQ(s.pixels, whole);
        for (size_t i = 0; i < whole.size(); ++i)
            for (int k = 0; k < 24; k += 8)
                ASSERT_LE(std::abs(int(whole[i] >> k & 255) - int(stb[i] >> k & 255)), rounding) << i;
        // Every placement at both widths, so that fit and aspect changes only reduce.
        for (int p = 0; p < 4; ++p)
            for (int i = 0; i < 2; ++i)
                EXPECT_EQ(s.resampled.pixels[p][i], ColorReducer::Resize(whole.data(), w, h, 160 << i, p & 2, p & 1));
        const int runs = s.resampled.runs;
        for (auto [fit, aspect] : {std::pair{true, false}, {false, false}, {false, true}, {true, true}}) {
            s.zoomToFit = fit, s.keepAspect = aspect;
            recomputeImport(app, s);
        }
        EXPECT_EQ(s.resampled.runs, runs);
        s.keepAspect = false;

        // Back to the small picture, and the window open, for the next kind.
        openImportPicture(app, "small.png", smallPng);
        smallId = s.pictureId;
    }
    // Headers too large for reading, in bands or at once, are refused before either starts; sides of 2^32 - 1
    // must not overflow the pixel count.
    for (const char* size : {"00004e2000004e20", "ffffffffffffffff"}) {
        openImportPicture(app, "huge", fromHex("89504e470d0a1a0a0000000d49484452" + std::string(size) + "080600000000000000"));
        EXPECT_FALSE(importLoading(s));
        ASSERT_FALSE(app.popups.empty());
        EXPECT_NE(app.popups.back().text.find("too large"), std::string::npos) << app.popups.back().text;
        app.popups.clear();
    }
    // Closed before the reading began: Cancel leaves it closed.
    closeImport(app, s);
    openImportPicture(app, "small.png", smallPng);
    const Bytes big = readBytes(dir.path / "big.png");
    app.showImportPicture = false;
    openImportPicture(app, "big", big);
    EXPECT_TRUE(app.showImportPicture);
    stepImportLoad(app, s, 0);
    cancelImportLoad(app, s);
    EXPECT_FALSE(app.showImportPicture);
    EXPECT_FALSE(importLoading(s));
}

}  // namespace

namespace {

// A file larger than what is read at once is read a piece per call, whether its picture is then decoded in bands
// or at once: the window names it and keeps its picture meanwhile; Cancel and a file cut on disk leave the picture
// as it was; read whole, it gives what the whole-file decode gives.
TEST(PictureImport, LargeFilesAreReadAPieceAtATime) {
    ScratchApp scratch;
    App& app = *scratch.app;
    TempDir dir;
    ImportPicState& s = app.ui.importPicture;
    const fs::path file = dir.path / "noise.png";
    auto open = [&] {
        std::unique_ptr<Platform::FileReading> reading = Platform::startFileReading(file.string());
        ASSERT_TRUE(reading);
        openImportPictureFile(app, "noise.png", std::move(reading));
    };
    for (auto [w, h, banded] : {std::tuple{1400, 1050, false}, {2000, 1100, true}}) {
        SCOPED_TRACE(w);
        openImportPicture(app, "small.png", flatPng(40, 30, 0xFF204080u));
        const long long smallId = s.pictureId;
        auto unchanged = [&] { EXPECT_EQ(s.name + " " + std::to_string(s.pictureId - smallId), "small.png 0"); };
        const Bytes png = noisePng(w, h);
        ASSERT_GT(png.size(), importReadAtOnce);
        ASSERT_EQ(decodesInBands(png), banded);
        writeBytes(file, png);

        open();
        EXPECT_TRUE(app.showImportPicture && importLoading(s) && s.load.name == "noise.png");
        ASSERT_TRUE(stepImportLoad(app, s, 0));
        ASSERT_TRUE(s.load.file);
        EXPECT_LT(s.load.file->bytes.size(), png.size() / 2);
        EXPECT_GT(importLoadProgress(s), 0.0);
        cancelImportLoad(app, s);
        unchanged();

        writeBytes(file, Bytes(png.begin(), png.begin() + long(png.size() - 1000)));
        open();
        while (stepImportLoad(app, s, 0)) {
        }
        unchanged();
        ASSERT_EQ(app.popups.size(), 1u);
        EXPECT_EQ(app.popups.back().text.rfind("Couldn't read the image: ", 0), 0u) << app.popups.back().text;
        app.popups.clear();

        writeBytes(file, png);
        open();
        int calls = 1;
        while (stepImportLoad(app, s, 0)) ++calls;
        EXPECT_GT(calls, 4);
        std::vector<u32> whole;
        int ww = 0, wh = 0;
        std::string error;
        ASSERT_TRUE(decodePicture(png, whole, ww, wh, error)) << error;
        EXPECT_EQ(s.name, "noise.png");
        EXPECT_TRUE(s.pixels == whole && s.width == w && s.height == h);
    }
}

// A placement change that must resample a large picture does it a few rows per call, at both widths, with both
// previews as they were until it is done; the next call reduces, and the previews are those of a fresh conversion.
// A mode switch after it, and going back to a placement already made, need no resampling.
TEST(PictureImport, ResamplingIsSpreadOverCallsKeepingThePreviews) {
    ScratchApp scratch;
    App& app = *scratch.app;
    ImportPicState& s = app.ui.importPicture;
    std::vector<u32> pic;
    openImportPicture(app, "noise.png", noisePng(1200, 900, &pic));
    ASSERT_TRUE(stepImportPreview(app, s, 1000));
    const struct {
        std::function<void()> change;
        bool resamples;
    } steps[] = {
        {[&] { s.keepAspect = true; }, true},
        {[&] { s.zoomToFit = false; }, true},
        {[&] { s.resolution = 0; }, false},  // the other width came with it
        {[&] { s.keepAspect = false; }, true},
        {[&] { s.keepAspect = false, s.zoomToFit = true, s.resolution = 1; }, false},
    };
    for (const auto& step : steps) {
        const std::vector<u32> source = s.sourcePreview.pixels, result = s.resultPreview.pixels;
        step.change();
        s.dirty = true;
        int calls = 0;
        for (; !stepImportPreview(app, s, 0) && calls < 1000; ++calls)
            ASSERT_TRUE(s.sourcePreview.pixels == source && s.resultPreview.pixels == result) << "kept at call " << calls;
        EXPECT_EQ(calls > 10, step.resamples) << calls;
        const int width = s.resolution == 1 ? 160 : 320;
        const std::vector<u32> resized = ColorReducer::Resize(pic.data(), 1200, 900, width, s.zoomToFit, s.keepAspect);
        ColorReducer fresh;
        fresh.SetPalette(app.palette.rgb);
        fresh.Reduce(resized, width, s.colors, s.dithering, s.resolution ? s.background : -1);
        EXPECT_EQ(s.sourcePreview.pixels, resized);
        EXPECT_EQ(s.resultPreview.pixels, fresh.Preview());
    }
}

// The window names the file being read, not the picture it still shows.
TEST(PictureImport, ShownNameIsThatOfTheFileBeingRead) {
    ScratchApp scratch;
    App& app = *scratch.app;
    ImportPicState& s = app.ui.importPicture;
    const Bytes big = noisePng(2000, 1100);
    const struct {
        const char* picture;  // opened first, or none
        const char* reading;  // then opened and being read, or none
        const char* shown;
    } rows[] = {
        {nullptr, nullptr, "(no image)"},
        {nullptr, "big.png", "big.png"},
        {"small.png", nullptr, "small.png"},
        {"small.png", "big.png", "big.png"},
    };
    for (const auto& r : rows) {
        s = ImportPicState{};
        if (r.picture) openImportPicture(app, r.picture, flatPng(4, 4, 0xFF000000u));
        if (r.reading) openImportPicture(app, r.reading, big);
        EXPECT_EQ(importShownName(s), r.shown);
    }
}

}  // namespace
