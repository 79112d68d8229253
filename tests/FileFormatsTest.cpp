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
    EXPECT_EQ(FileFormats::extensions(0), (std::vector<std::string>{"koa", "rpm", "gig"}));
    EXPECT_TRUE(FileFormats::extensions(-5).empty());
    EXPECT_TRUE(FileFormats::extensions(29).empty());
    EXPECT_EQ(FileFormats::findByExtension("KOA"), 0);
    EXPECT_EQ(FileFormats::findByExtension("RAW"), 3);
    EXPECT_EQ(FileFormats::findByExtension("dol"), 19);
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

TEST(FileFormats, RawRowsDecodeEveryDepth) {
    for (int fmt = 3; fmt <= 6; ++fmt) {
        int bits = 8 >> (fmt - 3);
        int perByte = 8 / bits;
        size_t bytes = 64000 / size_t(perByte);
        Bytes file(bytes);
        for (size_t i = 0; i < bytes; ++i) file[i] = u8(i * 29 + (i >> 5) * 3);
        for (u16 bank : {u16(0), u16(3)}) {
            auto m = patternedMachine(bank, 0x10);
            auto ref = patternedMachine(bank, 0x10);
            ASSERT_TRUE(FileFormats::load(*m, fmt, file));
            int base = bank * 0x4000 + 0x2000;
            for (int y = 0; y < 200; ++y)
                for (int x = 0; x < 320; ++x) {
                    int k = y * 320 + x;
                    int byte = file[size_t(k / perByte)];
                    int shift = 8 - bits * (k % perByte + 1);
                    int value = (byte >> shift) & ((1 << bits) - 1);
                    ASSERT_EQ(bitmapPixel(*m, base, x, y), value ? 1 : 0) << fmt << " " << x << "," << y;
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

TEST(FileFormats, RawPartialFiles) {
    auto m = patternedMachine(0, 0x10);
    auto ref = patternedMachine(0, 0x10);
    Bytes one(8000, 0);
    one[0] = 0x80;
    ASSERT_TRUE(FileFormats::load(*m, 6, one));
    EXPECT_EQ(bitmapPixel(*m, 0x2000, 0, 0), 1);
    for (int x = 1; x < 8; ++x) EXPECT_EQ(bitmapPixel(*m, 0x2000, x, 0), 0);

    auto m8 = patternedMachine(0, 0x10);
    Bytes row(320, 1);
    ASSERT_TRUE(FileFormats::load(*m8, 3, row));
    for (int x = 0; x < 320; ++x) EXPECT_EQ(bitmapPixel(*m8, 0x2000, x, 0), 1);
    for (int y = 1; y < 200; ++y)
        for (int x = 0; x < 320; x += 7)
            ASSERT_EQ(bitmapPixel(*m8, 0x2000, x, y), bitmapPixel(*ref, 0x2000, x, y));

    // A raw file has no load address: one byte is a whole picture file.
    auto m1 = patternedMachine(0, 0x10);
    ASSERT_TRUE(FileFormats::load(*m1, 6, Bytes{0xFF}));
    for (int x = 0; x < 8; ++x) EXPECT_EQ(bitmapPixel(*m1, 0x2000, x, 0), 1);
}

// A Koala picture read back by a decoder built on the file layout alone.
TEST(FileFormats, KoalaWrittenAndDecoded) {
    auto m = patternedMachine(1, 0x38);
    m->setGfxMode(4);
    m->vic[0x21] = 0x0B;
    Bytes k = FileFormats::saveKoala(*m);
    ASSERT_EQ(k.size(), 10003u);
    EXPECT_EQ(k[0], 0x00);
    EXPECT_EQ(k[1], 0x60);
    const int bitmap = 0x4000 + 0x2000, screen = 0x4000 + 0x0C00;
    for (int cy = 0; cy < 25; ++cy)
        for (int cx = 0; cx < 40; ++cx) {
            int cell = cy * 40 + cx;
            for (int line = 0; line < 8; ++line)
                for (int px = 0; px < 4; ++px) {
                    int bits = (k[size_t(2 + cell * 8 + line)] >> (6 - 2 * px)) & 3;
                    int colour = bits == 0   ? k[10002]
                                 : bits == 1 ? k[size_t(8002 + cell)] >> 4
                                 : bits == 2 ? k[size_t(8002 + cell)] & 15
                                             : k[size_t(9002 + cell)] & 15;
                    int mb = (m->ram[bitmap + cell * 8 + line] >> (6 - 2 * px)) & 3;
                    int want = mb == 0   ? m->vic[0x21]
                               : mb == 1 ? m->ram[screen + cell] >> 4
                               : mb == 2 ? m->ram[screen + cell] & 15
                                         : m->ram[0xD800 + cell] & 15;
                    ASSERT_EQ(colour, want) << cell;
                }
        }
    // Read back into a machine of another state.
    auto back = patternedMachine(1, 0x38);
    std::memset(back->ram + bitmap, 0, 8000);
    std::memset(back->ram + screen, 0, 1000);
    std::memset(back->ram + 0xD800, 0, 1000);
    back->vic[0x21] = 0;
    ASSERT_TRUE(FileFormats::load(*back, 0, k));
    EXPECT_EQ(0, std::memcmp(back->ram + bitmap, m->ram + bitmap, 8000));
    EXPECT_EQ(0, std::memcmp(back->ram + screen, m->ram + screen, 1000));
    EXPECT_EQ(0, std::memcmp(back->ram + 0xD800, m->ram + 0xD800, 1000));
    EXPECT_EQ(back->vic[0x21], 0x0B);
}

TEST(FileFormats, KoalaFromTextModeUsesDerivedAddresses) {
    auto m = patternedMachine(2, 0x14);
    ASSERT_EQ(m->gfxMode(), 0);
    Bytes k = FileFormats::saveKoala(*m);
    ASSERT_EQ(k.size(), 10003u);
    EXPECT_EQ(0, std::memcmp(k.data() + 2, m->ram + 0x8000, 8000));
    EXPECT_EQ(0, std::memcmp(k.data() + 8002, m->ram + 0x8400, 1000));
    EXPECT_EQ(0, std::memcmp(k.data() + 9002, m->ram + 0xD800, 1000));
    EXPECT_EQ(k[10002], m->vic[0x21]);
}

TEST(FileFormats, DoodleWrittenAndDecoded) {
    auto m = patternedMachine(0, 0x78);
    m->setGfxMode(3);
    Bytes d = FileFormats::saveDoodle(*m);
    ASSERT_EQ(d.size(), 9026u);
    EXPECT_EQ(d[0], 0x00);
    EXPECT_EQ(d[1], 0x1C);
    const int bitmap = 0x2000, screen = 0x1C00;
    for (int cell = 0; cell < 1000; ++cell)
        for (int line = 0; line < 8; ++line)
            for (int px = 0; px < 8; ++px) {
                bool set = (d[size_t(1026 + cell * 8 + line)] >> (7 - px)) & 1;
                int colour = set ? d[size_t(2 + cell)] >> 4 : d[size_t(2 + cell)] & 15;
                bool mset = (m->ram[bitmap + cell * 8 + line] >> (7 - px)) & 1;
                int want = mset ? m->ram[screen + cell] >> 4 : m->ram[screen + cell] & 15;
                ASSERT_EQ(colour, want);
            }
    EXPECT_EQ(0, std::memcmp(d.data() + 2 + 1000, m->ram + screen + 1000, 24));
    auto back = patternedMachine(0, 0x78);
    std::memset(back->ram + bitmap, 0, 8000);
    std::memset(back->ram + screen, 0, 1000);
    ASSERT_TRUE(FileFormats::load(*back, 8, d));
    EXPECT_EQ(0, std::memcmp(back->ram + bitmap, m->ram + bitmap, 8000));
    EXPECT_EQ(0, std::memcmp(back->ram + screen, m->ram + screen, 1000));
}

TEST(FileFormats, SavePrgClips) {
    auto m = patternedMachine(0, 0x14);
    Bytes p = FileFormats::savePrg(*m, 0xC000, 16);
    ASSERT_EQ(p.size(), 18u);
    EXPECT_EQ(p[0], 0x00);
    EXPECT_EQ(p[1], 0xC0);
    EXPECT_EQ(0, std::memcmp(p.data() + 2, m->ram + 0xC000, 16));
    Bytes q = FileFormats::savePrg(*m, 0xFFF0, 100);
    ASSERT_EQ(q.size(), 18u);
    EXPECT_EQ(q[17], m->ram[0xFFFF]);
    EXPECT_EQ(FileFormats::savePrg(*m, 0x1234, 0), (Bytes{0x34, 0x12}));
    EXPECT_EQ(FileFormats::savePrg(*m, 0x1234, -5), (Bytes{0x34, 0x12}));
    EXPECT_EQ(FileFormats::savePrg(*m, 0xFFFF, 1).size(), 3u);
}

TEST(FileFormats, LoadPrgClips) {
    auto m = patternedMachine(0, 0x14);
    int start = 0;
    EXPECT_EQ(FileFormats::loadPrg(*m, Bytes{0x00, 0x10, 0xAA, 0xBB, 0xCC}, start), 3);
    EXPECT_EQ(start, 0x1000);
    EXPECT_EQ(m->ram[0x1000], 0xAA);
    EXPECT_EQ(m->ram[0x1002], 0xCC);
    start = 7;
    EXPECT_EQ(FileFormats::loadPrg(*m, Bytes{0x00, 0x10}, start), 0);
    EXPECT_EQ(start, 0x1000);
    start = 7;
    EXPECT_EQ(FileFormats::loadPrg(*m, Bytes{0x05}, start), 0);
    EXPECT_EQ(start, 7);
    u8 zero = m->ram[0];
    u8 d000 = m->vic[0];
    Bytes high{0xFE, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(FileFormats::loadPrg(*m, high, start), 2);
    EXPECT_EQ(m->ram[0xFFFE], 1);
    EXPECT_EQ(m->ram[0xFFFF], 2);
    EXPECT_EQ(m->ram[0], zero);
    EXPECT_EQ(FileFormats::loadPrg(*m, Bytes{0x00, 0xD0, 0x42}, start), 1);
    EXPECT_EQ(m->ram[0xD000], 0x42);
    EXPECT_EQ(m->vic[0], d000);
}

}  // namespace
