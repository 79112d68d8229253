#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/Calc.h"
#include "core/ChangeWatch.h"
#include "core/Hex.h"
#include "core/Hotkeys.h"
#include "core/Machine.h"
#include "core/MemoryBitmap.h"
#include "core/Registers.h"
#include "core/ScreenCodes.h"
#include "core/ScreenView.h"

// The logic behind the tool windows, without a window.
namespace {

// Keys as the keypad has them: hex digits, + - * / | & ^ < > (shifts), = N(OT) ~(+/-) C(lear),
// S R M (MS, MR, M+). 'D', 'T' and 'B' enter decimal, hex or binary text up to ';'.
std::int64_t run(const std::string& keys, bool& refused) {
    const std::string ops = "+-*/|&^<>";
    Calc c;
    refused = false;
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
    return c.value;
}

TEST(Calc, KeySequences) {
    const struct {
        const char* keys;
        std::int64_t value;
        bool refused;
    } rows[] = {
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
    for (const auto& r : rows) {
        SCOPED_TRACE(r.keys);
        bool refused = false;
        EXPECT_EQ(run(r.keys, refused), r.value);
        EXPECT_EQ(refused, r.refused);
    }
    Calc c;
    char bin[40];
    c.binaryText(bin);
    EXPECT_STREQ(bin, "0");
    c.setDecimal("-1");
    c.binaryText(bin);
    EXPECT_EQ(std::string(bin), std::string(32, '1'));
}

TEST(Registers, TableEndsAndBits) {
    const std::pair<int, const char*> rows[] = {
        {0x00, "Sprite0 X Position"}, {0x18, "Screen and Char Base Address"}, {0x2E, "Sprite7 Color"}, {47, ""}, {-1, ""}};
    for (auto [index, text] : rows) EXPECT_STREQ(Registers::description(index), text) << index;
    EXPECT_EQ(Registers::bits(5), "00000101");
}

// Row widths that do not divide 65536 leave padding past the end of memory, drawn black.
TEST(MemoryBitmap, AddressUnderTheMouseAndPixels) {
    std::vector<u8> ram(65536);
    ram[0] = 0x81;
    ram[0xFFFF] = 0xAB;
    const struct {
        bool oneBit;
        int width, height, x, y;
        const char* text;
    } rows[] = {
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
    const struct {
        float mouse, origin;
        int zoom, pixel;
    } rows[] = {{100 + 3 * (32 + 10) + 1, 100, 3, 10}, {50 + 3 * 32, 50, 3, 0},      {100, 100, 3, -32},
                {99.5f, 100, 3, -33},                  {1e9f, 0, 1, 10000 - 32},     {-1e9f, 0, 1, -10000 - 32},
                {NAN, 0, 1, -10000 - 32}};
    for (const auto& r : rows) EXPECT_EQ(ScreenView::mouseToPixel(r.mouse, r.origin, r.zoom), r.pixel) << r.mouse;
    for (int z = 1; z <= 24; ++z)
        for (int x : {0, 1, 159, 318, 319}) EXPECT_EQ(ScreenView::mouseToPixel((x + 0.5f) * z + 37 + 32 * z, 37, z), x);
    // Zoom 2 to 3 around frame point 50, 100 px into the child; zooming out near the top-left stays at 0.
    EXPECT_FLOAT_EQ(ScreenView::wheelZoomScroll(110, 10, 10, 2, 3), 50.0f);
    EXPECT_FLOAT_EQ(ScreenView::wheelZoomScroll(20, 10, 10, 3, 2), 0.0f);
}

// Multicolour halves x at the same address.
TEST(ScreenView, StatusCellPaletteAndClearValue) {
    const struct {
        int bank;
        u8 d011, d016, d018;
        int x, y, address, shownX, shownY;
    } rows[] = {{0, 0x3B, 0x08, 0x18, 13, 9, 0x2149, 13, 9},
                {0, 0x3B, 0x18, 0x18, 13, 9, 0x2149, 6, 9},
                {1, 0x1B, 0x08, 0x14, 319, 199, 0x4000 + 0x0400 + 24 * 40 + 39, 39, 24}};
    auto m = std::make_unique<Machine>();
    for (const auto& r : rows) {
        m->bank = u16(r.bank);
        m->vic[0x11] = r.d011, m->vic[0x16] = r.d016, m->vic[0x18] = r.d018;
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

TEST(CharsetSlot, Problems) {
    const std::string matrix = "It overlaps the video matrix", rom = "The VIC sees the character ROM there",
                      colour = "It overlaps the color RAM", invalid = "Invalid charset position";
    // Invalid before ROM before overlaps; the ROM shows in banks 0 and 2 only; colour RAM sits in bank 3.
    const struct {
        u16 bank;
        u8 d018;
        int slot;
        std::string problem;
    } rows[] = {
        {0, 0x14, 0, matrix}, {0, 0x14, 1, ""},     {0, 0x14, 2, rom},     {0, 0x14, 3, rom},
        {0, 0x14, 4, ""},     {0, 0x14, 7, ""},     {0, 0x14, 8, invalid}, {0, 0x14, -1, invalid},
        {0, 0x14, INT_MIN, invalid},                {1, 0x14, 2, ""},      {1, 0x14, 0, matrix},
        {2, 0x14, 2, rom},    {0, 0x84, 4, matrix}, {0, 0x44, 2, rom},     {0, 0x44, 9, invalid},
        {3, 0x04, 3, colour}, {3, 0x04, 2, ""},     {3, 0x04, 4, ""},      {3, 0x04, 7, ""},
        {3, 0x64, 3, matrix},
    };
    auto m = std::make_unique<Machine>();
    m->reset();
    for (const auto& r : rows) {
        m->bank = r.bank;
        m->vic[0x18] = r.d018;
        EXPECT_EQ(CharsetSlotProblem(*m, r.slot), r.problem) << r.bank << " " << int(r.d018) << " " << r.slot;
    }
    // The 1000-byte matrix touches the next slot only when it starts in the last
    // 999 bytes of a slot, which a 1 KB-aligned matrix never does.
    m->bank = 1;
    for (int screenSlot = 0; screenSlot < 16; ++screenSlot) {
        m->vic[0x18] = u8(screenSlot << 4);
        for (int s = 0; s < 8; ++s)
            EXPECT_EQ(CharsetSlotProblem(*m, s), screenSlot / 2 == s ? matrix : "") << screenSlot << " " << s;
    }
}

TEST(Hotkeys, Chords) {
    using A = HotkeyAction;
    const KeyMods none{false, false, false}, ctrl{true, false, false}, ctrlShift{true, true, false},
        ctrlAlt{true, false, true}, alt{false, false, true}, all{true, true, true};
    // Ctrl+Alt+Z acts once (not also as Ctrl+Z) and also while typing; plain Ctrl chords wait while
    // typing; extra modifiers do not match; two chords in one frame both act, undo before redo.
    const struct {
        std::set<int> keys;
        KeyMods mods;
        bool typing;
        std::vector<std::pair<A, int>> want;
    } rows[] = {
        {{'Z'}, ctrlAlt, false, {{A::Undo, 0}}},        {{'Z'}, ctrl, false, {{A::Undo, 0}}},
        {{'Z'}, ctrl, true, {}},                        {{'Z'}, ctrlAlt, true, {{A::Undo, 0}}},
        {{'Y'}, ctrl, false, {{A::Redo, 0}}},           {{'Z'}, ctrlShift, false, {{A::Redo, 0}}},
        {{'Y'}, ctrlAlt, false, {{A::Redo, 0}}},        {{'Y'}, ctrl, true, {}},
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
