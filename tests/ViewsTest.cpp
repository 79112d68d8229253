#include <climits>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

#include "core/Calc.h"
#include "core/ChangeWatch.h"
#include "core/Hex.h"
#include "core/Hotkeys.h"
#include "core/MemoryBitmap.h"
#include "core/Palette.h"
#include "core/Registers.h"
#include "core/ScreenCodes.h"
#include "core/ScreenView.h"
#include "core/Vic.h"
#include "tests/FileTestSupport.h"

using namespace VicReg;

// The renderer, the palettes and the logic behind the tool windows, without a window.
namespace {

std::unique_ptr<Machine> randomMachine(u32 seed) {
    auto m = std::make_unique<Machine>();
    auto next = [&] { return u8((seed = seed * 1103515245u + 12345u) >> 16); };
    for (u8& b : m->ram) b = next();
    for (u8& b : m->charRom) b = next();
    // Colour registers with junk in the high nibble: only the low four bits count.
    for (int reg = Border; reg < VicReg::count; ++reg) m->vic[reg] = next();
    return m;
}

// Pattern byte as the VIC fetches it, from first principles.
u8 refCharByte(const Machine& m, int code, int line) {
    const int base = m.bank * 0x4000;
    const int off = ((m.vic[MemoryPointers] >> 1) & 7) * 0x800;
    if ((m.bank == 0 || m.bank == 2) && (off == 0x1000 || off == 0x1800))
        return m.charRom[off - 0x1000 + code * 8 + line];
    return m.ram[base + off + code * 8 + line];
}

// Colour (0-15) of screen pixel (x, y) decoded straight from memory.
int refColour(const Machine& m, int x, int y) {
    const int col = x / 8, row = y / 8, line = y % 8, i = row * 40 + col;
    const int base = m.bank * 0x4000;
    const int screen = base + (m.vic[MemoryPointers] >> 4) * 0x400;
    const bool ecm = m.vic[Control1] & Control1Ecm, bmm = m.vic[Control1] & Control1Bmm, mcm = m.vic[Control2] & Control2Mcm;
    const int code = m.ram[screen + i];
    const int cram = m.ram[0xD800 + i] & 15;
    if (!bmm) {
        if (mcm && cram >= 8) {
            const int pair = (refCharByte(m, code, line) >> (6 - (x % 8) / 2 * 2)) & 3;
            const int table[4] = {m.vic[Background0], m.vic[Background1], m.vic[Background2], cram & 7};
            return table[pair] & 15;
        }
        const int bit = (refCharByte(m, ecm ? code % 64 : code, line) >> (7 - x % 8)) & 1;
        if (bit) return cram;
        return (ecm ? m.vic[Background0 + code / 64] : m.vic[Background0]) & 15;
    }
    const int bitmap = base + ((m.vic[MemoryPointers] & MemoryBitmapHalf) ? 0x2000 : 0);
    const int b = m.ram[bitmap + i * 8 + line];
    if (!mcm) return (b >> (7 - x % 8)) & 1 ? code >> 4 : code & 15;
    const int pair = (b >> (6 - (x % 8) / 2 * 2)) & 3;
    const int table[4] = {m.vic[Background0] & 15, code >> 4, code & 15, cram};
    return table[pair];
}

// Every mode against the decoder above: ROM sets in banks 0 and 2 (RAM in 1), a RAM set at the top
// of bank 3, the ECM bit ignored in bitmap modes. The screen alone, the frame with its border, and
// the last cell into a wider buffer; cells outside the screen draw nothing.
TEST(Vic, ScreenFrameAndCellMatchDecoderInEveryMode) {
    const struct { int bank; u8 d011, d016, d018; int palette; } rows[] = {
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
        SCOPED_TRACE(testing::Message() << r.bank << " " << int(r.d011) << " " << int(r.d016) << " " << int(r.d018));
        auto m = randomMachine(seed++);
        m->bank = u16(r.bank);
        m->vic[Control1] = r.d011;
        m->vic[Control2] = r.d016;
        m->vic[MemoryPointers] = r.d018;
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
                const int want = inside ? refColour(*m, x - 32, y - 32) : m->vic[Border];
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
    m->vic[SpriteMulticolor0] = 0x1D;
    m->vic[SpriteMulticolor1] = 0x09;
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
    for (int bad : {11, -1}) EXPECT_STREQ(Palette::name(bad), "") << bad;
    // Out of range selects palette 0; the custom one starts as palette 0, reaches rgb only through
    // set, and selecting a table leaves it alone.
    for (int bad : {11, -1, INT_MIN}) {
        p.set(5);
        p.set(bad);
        EXPECT_EQ(std::pair(p.index, rgbOf(p, 2)), std::pair(0, 0x894036u)) << bad;
    }
    p.set(10);
    EXPECT_EQ(rgbOf(p, 14), 0x7C70DAu);
    std::memcpy(p.custom[3], "\x12\x34\x56", 3);
    EXPECT_EQ(rgbOf(p, 3), 0x7ABFC7u);
    p.set(4);
    p.set(10);
    EXPECT_EQ(std::pair(p.index, rgbOf(p, 3)), std::pair(10, 0x123456u));
}


// Keys as the keypad has them: hex digits, + - * / | & ^ < > (shifts), = N(OT) ~(+/-) C(lear),
// S R M (MS, MR, M+). 'D', 'T' and 'B' enter decimal, hex or binary text up to ';'.
std::pair<std::int64_t, bool> run(const std::string& keys) {
    const std::string ops = "+-*/|&^<>";
    Calc c;
    bool refused = false;
    for (size_t i = 0; i < keys.size(); ++i) {
        const char k = keys[i];
        bool ok = true;
        if (k >= '0' && k <= '9') c.digit(k - '0');
        else if (k >= 'a' && k <= 'f') c.digit(k - 'a' + 10);
        else if (ops.find(k) != std::string::npos) ok = c.operate(int(ops.find(k)) + 1);
        else if (k == 'D' || k == 'T' || k == 'B') {
            const size_t end = keys.find(';', i);
            const std::string text = keys.substr(i + 1, end - i - 1);
            ok = k == 'D' ? c.setDecimal(text.c_str()) : k == 'T' ? c.setHex(text.c_str()) : c.setBinary(text.c_str());
            i = end;
        } else if (k == '=') ok = c.equals();
        else if (k == 'N') c.complement();
        else if (k == '~') c.negate();
        else if (k == 'C') c.clear();
        else if (k == 'S') c.memoryStore();
        else if (k == 'R') c.memoryRecall();
        else if (k == 'M') c.memoryAdd();
        refused = refused || !ok;
    }
    return {c.value, refused};
}

TEST(Calc, KeySequences) {
    const struct { const char* keys; std::int64_t value; bool refused; } rows[] = {
        {"7/0=", 0, true},  // division by zero keeps the value...
        {"7/0=5=", 1, true},  // ... and the pending division waits for a divisor
        {"1<D33;=", 2, false}, {"1<D64;=", 1, false},  // shift counts use the low 5 bits
        {"D-8;>1=", -4, false},  // arithmetic right shift
        {"D-1;N", 0, false}, {"1=ab", 171, false},  // a digit after "=" starts a new number
        {"2+3*", 5, false},  // operators chain
        {"D9223372036854775807;+1=", LLONG_MIN, false}, {"D-9223372036854775808;~", LLONG_MIN, false},
        {"D-9223372036854775808;-1=", LLONG_MAX, false}, {"D-9223372036854775808;/D-1;=", LLONG_MIN, false},
        {"D4294967296;*D4294967296;=", 0, false}, {"D-7;/2=", -3, false},  // truncates toward zero
        {"D99999999999999999999;", 0, true}, {"5D-99999999999999999999;", 5, true},  // too large: value kept
        {"TFFFFFFFFFFFFFFFF;", -1, false}, {"3TFFFFFFFFFFFFFFFFF;", 3, true},
        {"D12abc;", 12, false}, {"9D;", 0, false}, {"5+5C", 0, false}, {"B101;", 5, false},
        {"D9223372036854775807;SMR", -2, false},  // M+ wraps too
        {"5SR1", 1, false},  // a digit after MR starts a new number
    };
    for (const auto& r : rows) EXPECT_EQ(run(r.keys), std::pair(r.value, r.refused)) << r.keys;
    Calc c;
    char zero[40], ones[40];
    c.binaryText(zero);
    c.setDecimal("-1");
    c.binaryText(ones);
    EXPECT_EQ(std::string(zero) + " " + ones, "0 " + std::string(32, '1'));
}

// Row widths that do not divide 65536 leave padding past the end of memory, drawn black.
TEST(MemoryBitmap, AddressUnderTheMouseAndPixels) {
    std::vector<u8> ram(65536);
    ram[0] = 0x81;
    ram[0xFFFF] = 0xAB;
    const struct { bool oneBit; int width, height, x, y; const char* text; } rows[] = {
        {false, 320, 205, 255, 204, "Memory position $FFFF (65535) = $AB\nXY: (255, 204)"},
        {false, 320, 205, 256, 204, ""},
        {true, 320, 1639, 127, 1638, "Memory position $FFFF (65535) bit 0\nXY: (127, 1638)"},
        {true, 320, 1639, 128, 1638, ""},
        {true, 1280, 410, 3, 0, "Memory position $0000 (0) bit 4\nXY: (3, 0)"},
        {true, 160, 3277, 0, 1, "Memory position $0014 (20) bit 7\nXY: (0, 1)"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.width << " " << r.x << "," << r.y);
        EXPECT_EQ(MemoryBitmap::height(r.oneBit, r.width), r.height);
        EXPECT_EQ(MemoryBitmap::hoverText(ram.data(), r.oneBit, r.width, r.x, r.y), r.text);
    }
    std::vector<u32> bits(320 * 1639), bytes(320 * 205, 0x12345678);
    MemoryBitmap::render(ram.data(), true, 320, bits.data());
    const u32 w = 0xFFFFFFFF, b = 0xFF000000;
    EXPECT_EQ(std::vector<u32>(bits.begin(), bits.begin() + 8), (std::vector<u32>{w, b, b, b, b, b, b, w}));
    MemoryBitmap::render(ram.data(), false, 320, bytes.data());
    EXPECT_EQ(bytes[0], 0xFF818181u);
    EXPECT_EQ(bytes[204 * 320 + 256], b);
    // What triggers a redraw: memory or a setting.
    ChangeWatch watch;
    int setting = 0;
    auto changed = [&] { return watch.changed({{ram.data(), ram.size()}, {&setting, sizeof setting}}); };
    EXPECT_TRUE(changed());
    EXPECT_FALSE(changed());
    ram[0xFFFF] = 1;
    EXPECT_TRUE(changed());
    setting = 1;
    EXPECT_TRUE(changed());
}

// Left of the origin is frame pixel -1, not 0; far away clamps to +-10000; the middle of a
// zoomed pixel lands in it at every zoom.
TEST(ScreenView, MouseToPixel) {
    const struct { float mouse, origin; int zoom, pixel; } rows[] = {
        {100 + 3 * (32 + 10) + 1, 100, 3, 10}, {50 + 3 * 32, 50, 3, 0}, {100, 100, 3, -32}, {99.5f, 100, 3, -33},
        {1e9f, 0, 1, 10000 - 32}, {-1e9f, 0, 1, -10000 - 32}, {NAN, 0, 1, -10000 - 32}};
    for (const auto& r : rows) EXPECT_EQ(ScreenView::mouseToPixel(r.mouse, r.origin, r.zoom), r.pixel) << r.mouse;
    for (int z = 1; z <= 24; ++z)
        for (int x : {0, 1, 159, 318, 319}) EXPECT_EQ(ScreenView::mouseToPixel((x + 0.5f) * z + 37 + 32 * z, 37, z), x);
    // Zoom 2 to 3 around frame point 50, 100 px into the child; zooming out near the top-left stays at 0.
    EXPECT_FLOAT_EQ(ScreenView::wheelZoomScroll(110, 10, 10, 2, 3), 50.0f);
    EXPECT_FLOAT_EQ(ScreenView::wheelZoomScroll(20, 10, 10, 3, 2), 0.0f);
}

// Multicolour halves x at the same address.
TEST(ScreenView, StatusCellPaletteAndValueTexts) {
    const struct { int bank; u8 d011, d016, d018; int x, y, address, shownX, shownY; } rows[] = {
        {0, 0x3B, 0x08, 0x18, 13, 9, 0x2149, 13, 9}, {0, 0x3B, 0x18, 0x18, 13, 9, 0x2149, 6, 9},
        {1, 0x1B, 0x08, 0x14, 319, 199, 0x4000 + 0x0400 + 24 * 40 + 39, 39, 24}};
    auto m = std::make_unique<Machine>();
    for (const auto& r : rows) {
        m->bank = u16(r.bank);
        m->vic[Control1] = r.d011, m->vic[Control2] = r.d016, m->vic[MemoryPointers] = r.d018;
        const ScreenView::StatusCell c = ScreenView::statusCell(*m, r.x, r.y);
        EXPECT_EQ(std::vector<int>({c.address, c.shownX, c.shownY}), std::vector<int>({r.address, r.shownX, r.shownY}));
    }
    // The tools bar's palette: row 3 (y 97-111), left cell is colour 6; -1 over the preview squares.
    const int hits[][3] = {{10, 34, -1}, {10, 40, 0},  {30, 40, 1},  {10, 40 + 19 * 3 + 5, 6},
                           {30, 40 + 19 * 7 + 5, 15}, {30, 500, 15}, {10, 36, 0}};
    for (auto& h : hits) EXPECT_EQ(ScreenView::toolsPaletteColor(h[0], h[1]), h[2]) << h[0] << "," << h[1];
    // Hex stops at the first non-digit, the "x" of a C prefix too.
    const std::pair<const char*, int> values[] = {{"$1G", 1}, {"abc", 0}, {"$FF", 255}, {"42", 42},
                                                  {"", 0},    {"$", 0},   {"$0x10", 0}, {"$1FF", 0x1FF}};
    for (auto [text, value] : values) EXPECT_EQ(ScreenView::parseClearValue(text), value) << text;
    EXPECT_EQ(ParseHex("d800"), 0xD800u);
    // The registers window: past either end of its table, and a value's bits.
    for (int index : {int(VicReg::count), -1}) EXPECT_STREQ(Registers::description(index), "") << index;
    EXPECT_EQ(Registers::bits(5), "00000101");
}

TEST(ScreenCodes, CodePoints) {
    // -1: no screen code; only code points map, the low byte of a large one must not leak through.
    const std::pair<unsigned, int> rows[] = {
        {'a', 1},   {'z', 26},   {'A', 65},   {'Z', 90},    {'@', 0},       {'[', 27},         {0xA3, 28},
        {']', 29},  {'^', 30},   {0x2191, 30}, {'_', 31},   {0x2190, 31},   {' ', 32},         {'0', 48},
        {'?', 63},  {'\\', -1},  {'`', -1},   {'{', -1},    {31, -1},       {127, -1},         {0, -1},
        {0xE4, -1}, {0x1F600, -1}, {0xFFFFFFFFu, -1},       {0x100 + 'a', -1}};
    for (auto [c, code] : rows) EXPECT_EQ(CharToScreenCode(c), code) << c;
    int mapped = 0;
    for (unsigned c = 0; c < 0x3000; ++c) mapped += CharToScreenCode(c) >= 0;
    // @, 26 + 26 letters, [ pound ] ^ _ and the two arrows, 32-63.
    EXPECT_EQ(mapped, 1 + 26 + 26 + 5 + 2 + 32);
}

// Per slot 0-7: M overlaps the video matrix, R the VIC sees the character ROM there, C overlaps the colour RAM.
// The ROM before overlaps; it shows in banks 0 and 2 only; colour RAM sits in bank 3. The 1000-byte matrix
// touches the next slot only when it starts in the last 999 bytes of a slot, which a 1 KB-aligned one never does.
TEST(CharsetSlot, Problems) {
    const std::map<std::string, char> letters = {{"", '.'}, {"It overlaps the video matrix", 'M'},
        {"The VIC sees the character ROM there", 'R'}, {"It overlaps the color RAM", 'C'}};
    std::vector<std::tuple<u16, u8, std::string>> rows = {{0, 0x14, "M.RR...."}, {2, 0x14, "M.RR...."},
        {0, 0x84, "..RRM..."}, {0, 0x44, "..RR...."}, {3, 0x04, "M..C...."}, {3, 0x64, "...M...."}};
    for (int screenSlot = 0; screenSlot < 16; ++screenSlot) {
        rows.push_back({1, u8(screenSlot << 4), "........"});
        std::get<2>(rows.back())[screenSlot / 2] = 'M';
    }
    auto m = std::make_unique<Machine>();
    m->reset();
    for (const auto& [bank, d018, want] : rows) {
        m->bank = bank;
        m->vic[MemoryPointers] = d018;
        std::string got;
        for (int s = 0; s < 8; ++s) got += letters.at(CharsetSlotProblem(*m, s));
        EXPECT_EQ(got, want) << bank << " " << int(d018);
    }
    for (int slot : {8, 9, -1, INT_MIN}) EXPECT_EQ(CharsetSlotProblem(*m, slot), "Invalid charset position") << slot;
}

TEST(Hotkeys, Chords) {
    using A = HotkeyAction;
    const KeyMods none{false, false, false}, ctrl{true, false, false}, ctrlShift{true, true, false},
        ctrlAlt{true, false, true}, alt{false, false, true}, all{true, true, true};
    // Ctrl+Alt+Z acts once (not also as Ctrl+Z) and also while typing; plain Ctrl chords wait while
    // typing; extra modifiers do not match; two chords in one frame both act, undo before redo.
    const struct { std::set<int> keys; KeyMods mods; bool typing; std::vector<std::pair<A, int>> want; } rows[] = {
        {{'Z'}, ctrl, false, {{A::Undo, 0}}},           {{'Z'}, ctrl, true, {}},
        {{'Z'}, ctrlAlt, true, {{A::Undo, 0}}},         {{'Y'}, ctrl, false, {{A::Redo, 0}}},
        {{'Z'}, ctrlShift, false, {{A::Redo, 0}}},      {{'Y'}, ctrl, true, {}},
        {{'Z'}, ctrlShift, true, {}},                   {{'Z'}, all, false, {}},
        {{'Z'}, none, false, {}},                       {{'Z'}, alt, false, {}},
        {{'G'}, all, false, {}},                        {{HotkeyF1}, ctrl, false, {}},
        {{'0'}, ctrlAlt, false, {{A::Palette, 9}}},     {{'1'}, ctrlAlt, false, {{A::Palette, 0}}},
        {{'9'}, ctrlAlt, false, {{A::Palette, 8}}},     {{'1'}, ctrl, false, {}},
        {{'L'}, ctrlAlt, false, {{A::LoadProject, 0}}}, {{'S'}, ctrlAlt, false, {{A::SaveProject, 0}}},
        {{'E'}, ctrlAlt, false, {{A::Clear, 0}}},       {{'P'}, ctrlAlt, false, {{A::Preferences, 0}}},
        {{'G'}, ctrlAlt, false, {{A::ToggleGrid, 0}}},  {{HotkeyF1}, none, false, {{A::Help, 0}}},
        {{'Z', 'Y'}, ctrlAlt, false, {{A::Undo, 0}, {A::Redo, 0}}},
        {{'L', 'S', 'E'}, ctrl, false, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << *r.keys.begin() << " " << r.mods.ctrl << r.mods.shift << r.mods.alt);
        std::vector<std::pair<A, int>> got;
        for (const HotkeyHit& h : matchHotkeys([&](int k) { return r.keys.count(k) > 0; }, r.mods, r.typing))
            got.push_back({h.action, h.action == A::Palette ? h.arg : 0});
        EXPECT_EQ(got, r.want);
    }
}

}  // namespace
