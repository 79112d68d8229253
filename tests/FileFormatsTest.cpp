#include "formats/FileFormats.h"
#include "tests/FileTestSupport.h"

using namespace VicReg;

namespace {

// The built assets as the program reads them.
Bytes readAsset(const std::string& name) { return readBytes(std::string(VORLIX_ASSET_DIR) + "/" + name); }

// The picture layouts written out again here, independently of the loader's table.
struct Layout {
    const char* name;
    const char* ext;
    int mode;
    std::vector<std::pair<int, int>> chunks;  // type, offset
    int rawBits = 0;                          // headerless rows of pixels this deep
    Bytes (*save)(const Machine&) = nullptr;
    int saveAddress = 0;
};

const Layout layouts[29] = {
    {"Koala Image", "koa;rpm;gig", 4, {{1, 0}, {2, 8000}, {3, 9000}, {5, 10000}}, 0, FileFormats::saveKoala, 0x6000},
    {"Hires-Bitmap", "hir;hbm;gih;fgs;mon;gcd;ish", 3, {{1, 0}}}, {"Interpaint image", "iph;art", 3, {{1, 0}, {2, 8000}}},
    {"RAW 8 bit", "raw", 3, {}, 8}, {"RAW 4 bit", "raw", 3, {}, 4},
    {"RAW 2 bit", "raw", 3, {}, 2}, {"RAW 1 bit", "raw", 3, {}, 1},
    {"Hi-Eddi", "hed", 3, {{1, 0}, {2, 8192}}},
    {"Doodle", "dd", 3, {{1, 1024}, {2, 0}}, 0, FileFormats::saveDoodle, 0x1C00},
    {"Multicolor", "mbm", 4, {{1, 0}}}, {"Paint Magick", "pmg", 4, {{1, 114}, {2, 8306}, {4, 8117}, {5, 8114}, {6, 8118}}},
    {"Picasso 64", "p64", 4, {{1, 2048}, {2, 1024}, {3, 0}, {5, 2047}}},
    {"Rainbow Painter", "rp", 4, {{1, 1024}, {2, 0}, {3, 9216}, {5, 9215}}},
    {"Advanced Art Studio", "ocp", 4, {{1, 0}, {2, 8000}, {3, 9016}, {5, 9001}}},
    {"Saracen Paint", "sar", 4, {{1, 1024}, {2, 0}, {3, 9216}, {5, 1008}}},
    {"Blazing Paddles", "pi", 4, {{1, 0}, {2, 8192}, {3, 9216}, {5, 8064}}},
    {"Micro Illustrator", "mil", 4, {{1, 2020}, {2, 20}, {3, 1020}}},
    {"CDU-Paint", "cdu", 4, {{1, 273}, {2, 8273}, {3, 9273}, {5, 10273}}},
    {"Artist 64", "a64", 4, {{1, 0}, {2, 8192}, {3, 9216}, {5, 10239}}},
    {"Vidcom 64", "vid;dol", 4, {{1, 2048}, {2, 1024}, {3, 0}, {5, 2024}}},
    {"Image System", "ism", 4, {{1, 1024}, {2, 9216}, {3, 0}, {5, 9215}}},
    {"Face Printer", "fpt", 4, {{1, 0}, {2, 8000}, {3, 9000}, {5, 10002}}},
    {"Drazpaint", "drp", 4, {{1, 2048}, {2, 1024}, {3, 0}, {5, 10048}}},
    {"Cheese", "che", 4, {{1, 0}, {2, 16896}, {3, 18432}}},
    {"Create with garfield", "cwg;ipt", 4, {{1, 0}, {2, 8000}, {3, 9000}, {5, 10001}}},
    {"Hires Laze", "hil", 3, {{7, 0}, {8, 8000}, {9, 16384}, {10, 24576}}},
    {"Hires Interlace", "hlf", 3, {{7, 0}, {8, 8000}, {9, 16384}, {10, 9216}}},
    {"Drazlace", "drl", 4, {{7, 2048}, {8, 1024}, {9, 10240}, {3, 0}, {5, 10048}}},
    {"Truepaint", "mci", 4, {{7, 1024}, {8, 0}, {9, 9216}, {10, 17408}, {3, 18432}, {5, 1000}}},
};

// Bitmaps, screens and colours, single bytes.
int lengthOf(int type) {
    return type == 1 || type == 7 || type == 9 ? 8000 : type == 4 || type == 5 || type == 6 ? 1 : 1000;
}

// Random memory, registers, monitor screen and character ROM.
std::unique_ptr<Machine> filledMachine(u32 seed, u16 bank = 3, u8 d018 = 0x14) {
    auto m = std::make_unique<Machine>();
    std::mt19937 r(seed);
    for (u8& b : m->ram) b = u8(r());
    for (u8& b : m->charRom) b = u8(r());
    for (u8& b : m->vic) b = u8(r());
    for (u8& b : m->monitorScreen) b = u8(r());
    m->vic[MemoryPointers] = d018;
    m->bank = bank;
    m->pen = 11;
    m->powerOnImage.assign(10, 0x5A);
    return m;
}

// What memory must hold afterwards, worked out byte by byte from the layout.
std::unique_ptr<Machine> expectLoad(const Machine& before, const Layout& l, const Bytes& file) {
    auto e = std::make_unique<Machine>(before);
    if (file.empty()) return e;
    // Mode bits after the load: bitmap on, multicolour by mode, extended colour off, bitmap at +$2000.
    e->vic[Control1] = u8((e->vic[Control1] & ~Control1Ecm) | Control1Bmm);
    e->vic[Control2] = l.mode == GfxMode::MulticolorBitmap ? u8(e->vic[Control2] | Control2Mcm)
                                                           : u8(e->vic[Control2] & ~Control2Mcm);
    e->vic[MemoryPointers] |= MemoryBitmapHalf;
    const long base = before.bank * 0x4000L, bitmapOff = 0x2000, screenOff = (e->vic[MemoryPointers] >> 4) * 0x400L;
    // Raw rows: a pixel is set when its bits are not all zero; pixels past the end stay.
    const size_t perByte = l.rawBits ? size_t(8 / l.rawBits) : 1;
    for (size_t k = 0; l.rawBits && k < 64000 && k / perByte < file.size(); ++k) {
        const size_t x = k % 320, y = k / 320, addr = size_t(base + bitmapOff) + y / 8 * 320 + x / 8 * 8 + y % 8;
        const bool set = (file[k / perByte] >> (8 - l.rawBits * int(k % perByte + 1))) & ((1 << l.rawBits) - 1);
        e->ram[addr] = u8((e->ram[addr] & ~(0x80 >> x % 8)) | (set ? 0x80 >> x % 8 : 0));
    }
    if (file.size() < 3) return e;
    for (auto [type, off] : l.chunks) {
        const long dest[] = {0, base + bitmapOff, base + screenOff, 0xD800, 0, 0, 0,
                             bitmapOff, screenOff, 0x4000 + bitmapOff, 0x4000 + screenOff};
        const size_t pos = size_t(2 + off);
        if (pos >= file.size()) continue;
        if (type == 4) std::memset(e->ram + 0xD800, file[pos], 1000);
        if (type == 5 || type == 6) e->vic[type == 5 ? Background0 : Border] = file[pos];
        for (int i = 0; type != 4 && lengthOf(type) > 1 && i < lengthOf(type) && pos + size_t(i) < file.size(); ++i)
            if (dest[type] + i <= 0xFFFF) e->ram[size_t(dest[type] + i)] = file[pos + size_t(i)];
    }
    return e;
}

// Every format found by its extensions, loaded whole in every bank and cut around each chunk's ends; the savers
// write back what the loader read, and in a text mode take the bitmap half $D018 names. Unknown formats and
// extensions find nothing and change nothing; bytes above $7F must not be taken for letters.
TEST(FileFormats, EveryFormatLoadsWholeAndCut) {
    EXPECT_TRUE(FileFormats::extensions(-5).empty() && FileFormats::extensions(29).empty());
    for (const char* ext : {"png", "", "ko", "koa;rpm", "\xC4\xD6"}) EXPECT_EQ(FileFormats::findByExtension(ext), -1) << ext;
    EXPECT_EQ(FileFormats::findByExtension("KOA"), 0);
    auto unknown = filledMachine(1);
    const auto before = std::make_unique<Machine>(*unknown);
    EXPECT_FALSE(FileFormats::load(*unknown, 29, Bytes(100, 1)) || FileFormats::load(*unknown, -1, Bytes(100, 1)));
    EXPECT_TRUE(sameMachine(*unknown, *before));
    const std::pair<u16, u8> setups[] = {{0, 0x14}, {2, 0x38}, {3, 0xF6}, {1, 0x00}};
    std::mt19937 r(5);
    for (int fmt = 0; fmt < 29; ++fmt) {
        const Layout& l = layouts[fmt];
        SCOPED_TRACE(l.name);
        // Each extension finds its format; the raw ones share the first.
        const std::string exts = std::string(l.ext) + ";";
        for (size_t at = 0, semi; (semi = exts.find(';', at)) != std::string::npos; at = semi + 1)
            EXPECT_EQ(FileFormats::findByExtension(exts.substr(at, semi - at)), l.rawBits ? 3 : fmt);
        size_t size = size_t(64000 * l.rawBits / 8);
        for (auto [type, off] : l.chunks) size = std::max(size, size_t(2 + off + lengthOf(type)));
        Bytes file(size);
        for (u8& b : file) b = u8(r());
        std::set<size_t> cuts = {0, 1, 2, 3, size - 1, size};
        for (auto [type, off] : l.chunks)
            for (long c : {off + 1L, off + 2L, off + 3L, off + 1L + lengthOf(type), off + 3L + lengthOf(type)})
                if (size_t(c) < size) cuts.insert(size_t(c));
        for (size_t cut : cuts)
            for (auto [bank, d018] : setups) {
                if (cut < size && bank) continue;
                SCOPED_TRACE("cut to " + std::to_string(cut) + ", bank " + std::to_string(bank));
                const Bytes part(file.begin(), file.begin() + long(cut));
                auto m = filledMachine(u32(fmt), bank, d018);
                const auto want = expectLoad(*m, l, part);
                EXPECT_EQ(FileFormats::load(*m, fmt, part), cut >= (l.rawBits ? 1u : 3u));
                ASSERT_TRUE(sameMachine(*m, *want));
                if (!l.save || cut < size || bank == 3) continue;  // bank 3 has the screen inside the bitmap
                const Bytes saved = l.save(*m);
                ASSERT_EQ(saved.size(), size);
                EXPECT_EQ(saved[0] | saved[1] << 8, l.saveAddress);
                for (auto [type, off] : l.chunks)
                    EXPECT_EQ(0, std::memcmp(&saved[size_t(2 + off)], &file[size_t(2 + off)], size_t(lengthOf(type))));
                m->setGfxMode(GfxMode::Text);
                EXPECT_EQ(0, std::memcmp(&l.save(*m)[size_t(2 + l.chunks[0].second)], m->ram + bank * 0x4000, 8000));
            }
    }
}

// Saving clips at the end of memory; loading writes RAM only (never the registers) and stops at $FFFF.
TEST(FileFormats, PrgClips) {
    auto m = filledMachine(3);
    for (auto [start, length] : std::initializer_list<std::pair<int, int>>{{0xC000, 16}, {0xFFF0, 100}, {0x1234, 0}, {0x1234, -5}, {0xFFFF, 1}}) {
        const Bytes want = prgOf(*m, start, std::clamp(length, 0, 0x10000 - start));
        EXPECT_EQ(FileFormats::savePrg(*m, start, length), want) << start << " " << length;
    }
    const struct { Bytes file; int read, start; } rows[] = {
        {{0x00, 0x10, 0xAA, 0xBB, 0xCC}, 3, 0x1000}, {{0x00, 0x10}, 0, 0x1000}, {{0x05}, 0, 7},
        {{0xFE, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 2, 0xFFFE}, {{0x00, 0xD0, 0x42}, 1, 0xD000},
    };
    for (const auto& r : rows) {
        auto want = filledMachine(3);
        std::copy(r.file.begin() + std::min<long>(2, long(r.file.size())), r.file.begin() + std::min<long>(2 + r.read, long(r.file.size())), want->ram + r.start);
        int start = 7;
        m = filledMachine(3);
        EXPECT_EQ(FileFormats::loadPrg(*m, r.file, start), r.read);
        EXPECT_EQ(start, r.start);
        EXPECT_TRUE(sameMachine(*m, *want)) << r.start;
    }
}

// Refused projects change nothing; accepted ones bring memory, registers, monitor screen, the pen and bank (their
// low bits), never the character ROM or the power-on image. Versions below 2 (signed) and longer files load.
TEST(FileFormats, Projects) {
    auto src = filledMachine(2, 1);
    src->pen = 7;
    const Bytes good = src->saveProject();
    // Laid out by hand: magic, two versions, memory, monitor screen, registers, pen, bank.
    const std::string magic = "VORLIX PROJECT";
    Bytes layout(magic.begin(), magic.end());
    layout.insert(layout.end(), {1, 0, 0, 0, 1, 0, 0, 0});
    layout.insert(layout.end(), src->ram, src->ram + 65536);
    layout.insert(layout.end(), src->monitorScreen, src->monitorScreen + 1000);
    layout.insert(layout.end(), src->vic, src->vic + VicReg::count);
    layout.insert(layout.end(), {7, 0, 0, 0, 1, 0});
    ASSERT_EQ(good, layout);
    const size_t pen = good.size() - 6;
    auto with = [&](size_t at, const Bytes& bytes) {
        Bytes f = good;
        f.resize(std::max(f.size(), at + bytes.size()));
        std::copy(bytes.begin(), bytes.end(), f.begin() + long(at));
        return f;
    };
    const std::string notOurs = "Unknown file format (Not a Vorlix project)!", cut = "Project file is truncated!",
                      version = "Unknown project version!";
    const struct {
        const char* name;
        Bytes file;
        std::string error;  // empty: accepted
        int pen = 7, bank = 1;
    } rows[] = {
        {"saved", good, ""}, {"one byte short", Bytes(good.begin(), good.end() - 1), cut}, {"empty", Bytes(), notOurs},
        {"magic only", Bytes(good.begin(), good.begin() + 14), cut}, {"lower case", with(0, {'v'}), notOurs},
        {"cut magic", Bytes(good.begin(), good.begin() + 13), notOurs}, {"last magic letter", with(13, {'Z'}), notOurs},
        {"version 2", with(14, {2}), version}, {"second version 2", with(18, {2}), version},
        {"huge version", with(14, {0xFF, 0xFF, 0xFF, 0x7F, 0}), version}, {"version 0", with(14, Bytes(8, 0)), ""},
        {"negative version", with(14, {0xFB, 0xFF, 0xFF, 0xFF}), ""}, {"lowest version", with(18, {0, 0, 0, 0x80}), ""},
        {"longer file", with(good.size(), Bytes(1000, 0xEE)), ""},
        {"high bits", with(pen, {0x78, 0x56, 0x34, 0x12, 0x06, 0x01}), "", 8, 2},
        {"all bits", with(pen, Bytes(6, 0xFF)), "", 15, 3},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        auto m = filledMachine(99);
        auto want = filledMachine(99);
        std::string error = "untouched";
        EXPECT_EQ(m->loadProject(r.file, error), r.error.empty());
        EXPECT_EQ(error, r.error.empty() ? "untouched" : r.error);
        if (r.error.empty()) {
            std::memcpy(want->ram, src->ram, sizeof want->ram);
            std::memcpy(want->vic, src->vic, sizeof want->vic);
            std::memcpy(want->monitorScreen, src->monitorScreen, sizeof want->monitorScreen);
            want->pen = r.pen;
            want->bank = u16(r.bank);
        }
        EXPECT_TRUE(sameMachine(*m, *want));
    }
}

TEST(Assets, CharacterRom) {
    const Bytes rom = readAsset("C64Chars.bin");
    ASSERT_EQ(rom.size(), 4096u);
    auto glyph = [&](int half, int code) {
        const auto at = rom.begin() + half * 2048 + code * 8;
        return Bytes(at, at + 8);
    };
    // Quadrant blocks as upper-left, upper-right, lower-left, lower-right; reversed ones fill the rest.
    const std::pair<int, int> quadrants[] = {{108, 1}, {123, 2}, {124, 4}, {126, 8}, {127, 9}, {97, 10}, {98, 3}, {236, 14}, {255, 6}};
    for (int half = 0; half < 2; ++half) {
        std::set<Bytes> seen;
        for (int c = 0; c < 256; ++c) {
            // Space and reversed space are the first blank and solid cells: picture import looks for them.
            if (c <= 32) { EXPECT_EQ(glyph(half, c) == Bytes(8, 0), c == 32) << half << " " << c; }
            if (c <= 160) { EXPECT_EQ(glyph(half, c) == Bytes(8, 0xFF), c == 160) << half << " " << c; }
            if (c < 64) { EXPECT_TRUE(seen.insert(glyph(half, c)).second) << half << " " << c; }
            for (int r = 0; c < 128 && r < 8; ++r) ASSERT_EQ(glyph(half, c + 128)[r], u8(~glyph(half, c)[r])) << c;
        }
        for (auto [code, mask] : quadrants)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    EXPECT_EQ((glyph(half, code)[y] >> (7 - x)) & 1, (mask >> (3 - (y / 4) * 2 - x / 4)) & 1) << code;
    }
    const Bytes checker = glyph(0, 102);
    for (int r = 0; r < 8; ++r) EXPECT_EQ(checker[r], u8(r & 1 ? ~checker[0] : checker[0])) << r;
    EXPECT_TRUE(checker[0] == 0xAA || checker[0] == 0x55);
    // The second half: lower case letters unlike any capital, capitals moved up 64, the rest alike.
    for (int c = 0; c < 128; ++c) {
        const bool lower = c >= 1 && c <= 26, moved = c >= 65 && c <= 90;
        if (moved) { EXPECT_EQ(glyph(1, c), glyph(0, c - 64)) << c; }
        else if (!lower) { EXPECT_EQ(glyph(1, c), glyph(0, c)) << c; }
        for (int d = 1; lower && d <= 26; ++d) EXPECT_NE(glyph(1, c), glyph(0, d)) << c << " " << d;
    }
}

TEST(Assets, PowerOnMemoryAndIcon) {
    const Bytes ram = readAsset("C64Raw.bin");
    ASSERT_EQ(ram.size(), 65536u);
    // Letters, digits and signs in the first six rows, blanks after; light blue colour RAM.
    int nonBlank = 0;
    for (int a = 0x0400; a < 0x0400 + 6 * 40; ++a) {
        ASSERT_LT(ram[a], 64) << std::hex << a;
        nonBlank += ram[a] != 0x20;
    }
    EXPECT_GT(nonBlank, 10);
    EXPECT_EQ(std::set<u8>(ram.begin() + 0x0400 + 6 * 40, ram.begin() + 0x07E8), std::set<u8>{0x20});
    EXPECT_EQ(std::set<u8>(ram.begin() + 0xD800, ram.begin() + 0xDBE8), std::set<u8>{14});
    // Mostly drawn, but the corners stay transparent so the window icon is not a square.
    int w = 0, h = 0;
    const std::vector<u32> px = decode(readAsset("icon.png"), w, h);
    std::vector<u32> opaque;
    std::copy_if(px.begin(), px.end(), std::back_inserter(opaque), [](u32 p) { return p >> 24 == 255; });
    EXPECT_EQ(w * 100 + h, 3232);
    EXPECT_TRUE(opaque.size() > px.size() / 2 && opaque.size() < px.size()) << opaque.size();
    EXPECT_GT(std::set<u32>(opaque.begin(), opaque.end()).size(), 3u);
}

TEST(Assets, ToolbarGlyphs) {
    std::vector<std::vector<u32>> seen;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(VORLIX_ASSET_DIR) + "/glyphs")) {
        const std::string name = entry.path().filename().string();
        const Bytes file = readAsset("glyphs/" + name);
        // Uncompressed 24-bit BMP, small enough for the toolbar's 23 x 22 buttons.
        ASSERT_GT(file.size(), 54u) << name;
        EXPECT_TRUE(file[0] == 'B' && file[1] == 'M' && file[28] == 24 && !file[30] && !file[31] && !file[32] && !file[33]) << name;
        int w = 0, h = 0;
        std::vector<u32> px = decode(file, w, h);
        ASSERT_FALSE(px.empty()) << name;
        EXPECT_TRUE(w >= 8 && w <= 22 && h >= 8 && h <= 22) << name;
        // The bottom-left colour is the key: at least a row of it, and some pixels drawn.
        const u32 key = px[size_t(h - 1) * w];
        const long keyed = std::count(px.begin(), px.end(), key);
        std::replace(px.begin(), px.end(), key, 0u);
        EXPECT_GE(keyed, w) << name;
        EXPECT_GT(long(px.size()) - keyed, 3) << name;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), px), 0) << name;
        seen.push_back(px);
    }
    EXPECT_EQ(seen.size(), 20u);
}

}  // namespace
