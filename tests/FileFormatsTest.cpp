#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "formats/FileFormats.h"

namespace {

// The picture layouts written out again here, independently of the loader's table.
struct Layout {
    const char* name;
    const char* ext;
    int mode;
    std::vector<std::pair<int, int>> chunks;  // type, offset
};

const std::vector<Layout>& layouts() {
    static const std::vector<Layout> table = {
        {"Koala Image", "koa;rpm;gig", 4, {{1, 0}, {2, 8000}, {3, 9000}, {5, 10000}}},
        {"Hires-Bitmap", "hir;hbm;gih;fgs;mon;gcd;ish", 3, {{1, 0}}},
        {"Interpaint image", "iph;art", 3, {{1, 0}, {2, 8000}}},
        {"RAW 8 bit", "raw", 3, {}},
        {"RAW 4 bit", "raw", 3, {}},
        {"RAW 2 bit", "raw", 3, {}},
        {"RAW 1 bit", "raw", 3, {}},
        {"Hi-Eddi", "hed", 3, {{1, 0}, {2, 8192}}},
        {"Doodle", "dd", 3, {{1, 1024}, {2, 0}}},
        {"Multicolor", "mbm", 4, {{1, 0}}},
        {"Paint Magick", "pmg", 4, {{1, 114}, {2, 8306}, {4, 8117}, {5, 8114}, {6, 8118}}},
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
    return table;
}

int lengthOf(int type) {
    if (type == 1 || type == 7 || type == 9) return 8000;
    if (type == 2 || type == 3 || type == 8 || type == 10) return 1000;
    return 1;
}

std::unique_ptr<Machine> patternedMachine(u16 bank, u8 d018) {
    auto m = std::make_unique<Machine>();
    for (int a = 0; a < 65536; ++a) m->ram[a] = u8((a * 13) ^ (a >> 7));
    for (int r = 0; r < 47; ++r) m->vic[r] = u8(0x30 + r);
    m->vic[0x11] = 0x1B;
    m->vic[0x16] = 0x08;
    m->vic[0x18] = d018;
    m->bank = bank;
    return m;
}

// A file with a distinct value per chunk (offset by its index within the chunk), gaps filled with 0xEE.
Bytes buildFile(const Layout& l) {
    size_t size = 2;
    for (auto [type, off] : l.chunks) size = std::max(size, size_t(2 + off + lengthOf(type)));
    Bytes f(size, 0xEE);
    f[0] = 0x34;
    f[1] = 0x12;
    int idx = 1;
    for (auto [type, off] : l.chunks) {
        int len = lengthOf(type);
        for (int i = 0; i < len; ++i) f[size_t(2 + off + i)] = u8(idx * 37 + i * (idx + 2));
        ++idx;
    }
    return f;
}

// What memory must hold afterwards, worked out byte by byte from the layout.
struct Expected {
    std::vector<u8> ram;
    u8 vic[47];
};

Expected expectLoad(const Machine& before, const Layout& l, const Bytes& file) {
    Expected e;
    e.ram.assign(before.ram, before.ram + 65536);
    std::memcpy(e.vic, before.vic, 47);
    if (file.empty()) return e;
    // Mode bits after the load: bitmap on, multicolour by mode, extended colour off, bitmap at +$2000.
    e.vic[0x11] = u8((e.vic[0x11] & ~0x40) | 0x20);
    e.vic[0x16] = l.mode == 4 ? u8(e.vic[0x16] | 0x10) : u8(e.vic[0x16] & ~0x10);
    e.vic[0x18] |= 0x08;
    if (file.size() < 3) return e;
    const long base = before.bank * 0x4000L;
    const long bitmapOff = 0x2000;
    const long screenOff = (e.vic[0x18] >> 4) * 0x400L;
    for (auto [type, off] : l.chunks) {
        long dest = -1;
        switch (type) {
        case 1: dest = base + bitmapOff; break;
        case 2: dest = base + screenOff; break;
        case 3: dest = 0xD800; break;
        case 7: dest = bitmapOff; break;
        case 8: dest = screenOff; break;
        case 9: dest = 0x4000 + bitmapOff; break;
        case 10: dest = 0x4000 + screenOff; break;
        }
        size_t pos = size_t(2 + off);
        if (pos >= file.size()) continue;
        if (type == 4) {
            for (int i = 0; i < 1000; ++i) e.ram[size_t(0xD800 + i)] = file[pos];
        } else if (type == 5) {
            e.vic[0x21] = file[pos];
        } else if (type == 6) {
            e.vic[0x20] = file[pos];
        } else {
            for (int i = 0; i < lengthOf(type) && pos + size_t(i) < file.size(); ++i) {
                if (dest + i <= 0xFFFF) e.ram[size_t(dest + i)] = file[pos + size_t(i)];
            }
        }
    }
    return e;
}

void checkLoad(int fmt, u16 bank, u8 d018, const Bytes& file, const std::string& what) {
    const Layout& l = layouts()[size_t(fmt)];
    auto m = patternedMachine(bank, d018);
    Expected e = expectLoad(*m, l, file);
    bool ok = FileFormats::load(*m, fmt, file);
    EXPECT_EQ(ok, file.size() >= 3) << what;
    for (int a = 0; a < 65536; ++a) {
        ASSERT_EQ(m->ram[a], e.ram[size_t(a)]) << what << " at $" << std::hex << a;
    }
    for (int r = 0; r < 47; ++r) ASSERT_EQ(m->vic[r], e.vic[r]) << what << " register " << r;
    if (!file.empty()) {
        EXPECT_EQ(m->gfxMode(), l.mode) << what;
    }
}

TEST(FileFormats, ExtensionsAndLookup) {
    EXPECT_TRUE(FileFormats::extensions(-5).empty());
    EXPECT_TRUE(FileFormats::extensions(29).empty());
    EXPECT_EQ(FileFormats::findByExtension("KOA"), 0);
    EXPECT_EQ(FileFormats::findByExtension("png"), -1);
    EXPECT_EQ(FileFormats::findByExtension(""), -1);
    EXPECT_EQ(FileFormats::findByExtension("ko"), -1);
    EXPECT_EQ(FileFormats::findByExtension("koa;rpm"), -1);
    // Bytes above $7F must not be taken for letters.
    EXPECT_EQ(FileFormats::findByExtension("\xC4\xD6"), -1);
    auto m = patternedMachine(0, 0x14);
    EXPECT_FALSE(FileFormats::load(*m, 29, Bytes(100, 1)) || FileFormats::load(*m, -1, Bytes(100, 1)));
    EXPECT_EQ(m->gfxMode(), 0);
    for (int i = 0; i < 29; ++i) {
        std::string exts = std::string(layouts()[size_t(i)].ext) + ";";
        for (size_t at = 0, semi; (semi = exts.find(';', at)) != std::string::npos; at = semi + 1)
            EXPECT_EQ(FileFormats::findByExtension(exts.substr(at, semi - at)), i >= 3 && i <= 6 ? 3 : i) << exts;
    }
}

TEST(FileFormats, EveryFormatLoadsWholeAndCut) {
    const std::pair<u16, u8> setups[] = {{0, 0x14}, {2, 0x38}, {3, 0xF6}, {1, 0x00}};
    for (int fmt = 0; fmt < 29; ++fmt) {
        const Layout& l = layouts()[size_t(fmt)];
        if (l.chunks.empty()) continue;
        Bytes file = buildFile(l);
        std::set<size_t> cuts = {0, 1, 2, 3, file.size() - 1};
        for (auto [type, off] : l.chunks) {
            for (long c : {long(off) + 1, long(off) + 2, long(off) + 3, long(off) + 2 + lengthOf(type) - 1,
                           long(off) + 2 + lengthOf(type) + 1})
                if (c >= 0 && size_t(c) < file.size()) cuts.insert(size_t(c));
        }
        for (auto [bank, d018] : setups)
            checkLoad(fmt, bank, d018, file, l.name + std::string(" whole, bank ") + std::to_string(bank));
        for (size_t cut : cuts) {
            Bytes part(file.begin(), file.begin() + long(cut));
            checkLoad(fmt, 0, 0x14, part, l.name + std::string(" cut to ") + std::to_string(cut));
        }
    }
}

// Pixel (x, y) of the hires bitmap at base, read the way the VIC lays out 8x8 cells.
int bitmapPixel(const Machine& m, int base, int x, int y) {
    int addr = base + (y / 8) * 320 + (x / 8) * 8 + y % 8;
    return (m.ram[addr] >> (7 - x % 8)) & 1;
}

// Every depth, whole and cut to one byte: a pixel is set when its bits are not all zero; the rest stays.
TEST(FileFormats, RawRowsDecodeEveryDepth) {
    for (int fmt = 3; fmt <= 6; ++fmt) {
        int bits = 8 >> (fmt - 3);
        int perByte = 8 / bits;
        Bytes whole(64000 / size_t(perByte));
        for (size_t i = 0; i < whole.size(); ++i) whole[i] = u8(i * 29 + (i >> 5) * 3);
        for (auto [bank, size] : std::initializer_list<std::pair<int, size_t>>{{0, whole.size()}, {3, whole.size()}, {0, 1}}) {
            const Bytes file(whole.begin(), whole.begin() + long(size));
            auto m = patternedMachine(u16(bank), 0x10);
            auto ref = patternedMachine(u16(bank), 0x10);
            ASSERT_TRUE(FileFormats::load(*m, fmt, file));
            int base = bank * 0x4000 + 0x2000;
            for (int y = 0; y < 200; ++y)
                for (int x = 0; x < 320; ++x) {
                    int k = y * 320 + x;
                    int want = bitmapPixel(*ref, base, x, y);
                    if (size_t(k / perByte) < size) want = (file[size_t(k / perByte)] >> (8 - bits * (k % perByte + 1))) & ((1 << bits) - 1) ? 1 : 0;
                    ASSERT_EQ(bitmapPixel(*m, base, x, y), want) << fmt << " " << x << "," << y;
                }
            // Only the bitmap changes.
            for (int a = 0; a < 65536; ++a)
                if (a < base || a >= base + 8000) {
                    ASSERT_EQ(m->ram[a], ref->ram[a]) << a;
                }
            EXPECT_EQ(m->gfxMode(), 3);
        }
    }
}

// Saved pictures: the load address, then chunks of memory (bits kept by a mask) at their offsets.
TEST(FileFormats, SavedLayouts) {
    struct Chunk { size_t offset; int addr, length, mask; };
    const struct {
        Bytes (*save)(const Machine&);
        u16 bank;
        u8 d018;
        int mode;
        size_t size;
        int load;  // -1: not checked
        std::vector<Chunk> chunks;
    } rows[] = {
        {FileFormats::saveKoala, 1, 0x38, 4, 10003, 0x6000, {{2, 0x6000, 8000, 0xFF}, {8002, 0x4C00, 1000, 0xFF}, {9002, 0xD800, 1000, 15}}},
        // From a text mode the addresses follow from the registers as for a bitmap.
        {FileFormats::saveKoala, 2, 0x14, 0, 10003, -1, {{2, 0x8000, 8000, 0xFF}, {8002, 0x8400, 1000, 0xFF}, {9002, 0xD800, 1000, 0xFF}}},
        {FileFormats::saveDoodle, 0, 0x78, 3, 9026, 0x1C00, {{2, 0x1C00, 1024, 0xFF}, {1026, 0x2000, 8000, 0xFF}}},
    };
    for (const auto& r : rows) {
        auto m = patternedMachine(r.bank, r.d018);
        m->setGfxMode(r.mode);
        const Bytes f = r.save(*m);
        ASSERT_EQ(f.size(), r.size);
        if (r.load >= 0) { EXPECT_EQ(f[0] | f[1] << 8, r.load); }
        for (const Chunk& c : r.chunks)
            for (int i = 0; i < c.length; ++i) ASSERT_EQ(f[c.offset + size_t(i)] & c.mask, m->ram[c.addr + i] & c.mask) << c.offset << "+" << i;
        if (r.size == 10003) { EXPECT_EQ(f[10002], m->vic[0x21]); }
    }
}

// Saving clips at the end of memory; loading writes RAM only (never the registers) and stops at $FFFF.
TEST(FileFormats, PrgClips) {
    auto m = patternedMachine(0, 0x14);
    for (auto [start, length] : std::initializer_list<std::pair<int, int>>{{0xC000, 16}, {0xFFF0, 100}, {0x1234, 0}, {0x1234, -5}, {0xFFFF, 1}}) {
        Bytes want{u8(start), u8(start >> 8)};
        want.insert(want.end(), m->ram + start, m->ram + std::max(start, std::min(start + length, 0x10000)));
        EXPECT_EQ(FileFormats::savePrg(*m, start, length), want) << start << " " << length;
    }
    const struct { Bytes file; int read, start; } rows[] = {
        {{0x00, 0x10, 0xAA, 0xBB, 0xCC}, 3, 0x1000}, {{0x00, 0x10}, 0, 0x1000}, {{0x05}, 0, 7},
        {{0xFE, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 2, 0xFFFE}, {{0x00, 0xD0, 0x42}, 1, 0xD000},
    };
    for (const auto& r : rows) {
        auto want = patternedMachine(0, 0x14);
        std::copy(r.file.begin() + std::min<long>(2, long(r.file.size())), r.file.begin() + std::min<long>(2 + r.read, long(r.file.size())), want->ram + r.start);
        int start = 7;
        EXPECT_EQ(FileFormats::loadPrg(*m, r.file, start), r.read);
        EXPECT_EQ(start, r.start);
        EXPECT_EQ(0, std::memcmp(m->ram, want->ram, 65536)) << r.start;
        EXPECT_EQ(0, std::memcmp(m->vic, want->vic, 47)) << r.start;
        m = patternedMachine(0, 0x14);
    }
}

}  // namespace
