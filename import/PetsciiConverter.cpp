#include "import/PetsciiConverter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "import/ColorReducer.h"

namespace {

using i64 = std::int64_t;

// A candidate character: its code, pattern and the set pixels of each 2x2 block.
struct Glyph {
    int code;
    const u8* pattern;
    u8 blockCount[16];
};

}  // namespace

void PetsciiConverter::SetPalette(const u8 (*rgb)[3]) { std::memcpy(palette, rgb, sizeof palette); }

void PetsciiConverter::SetCharset(const Machine& m, int which) {
    if (which == 0 || which == 1) {
        std::memcpy(charset, m.charRom + which * 2048, 2048);
        return;
    }
    for (int c = 0; c < 256; ++c) std::memcpy(charset[c], m.charData(u8(c)), 8);
}

void PetsciiConverter::Convert(const std::vector<u32>& src, const PetsciiOptions& options) {
    const std::vector<int> allowed = ColorReducer::allowedColors(options.colors);
    const int nAllowed = int(allowed.size());

    // Candidates: ascending codes, each pattern once.
    std::vector<Glyph> glyphs;
    glyphs.reserve(256);
    for (int c = 0; c < 256; ++c) {
        if (c >= 128 && !options.reversed) continue;
        if (options.noLettersOrDigits && (c & 127) < 64 && (c & 127) != 32) continue;
        bool repeat = false;
        for (const Glyph& g : glyphs)
            if (std::memcmp(g.pattern, charset[c], 8) == 0) {
                repeat = true;
                break;
            }
        if (!repeat) glyphs.push_back({c, charset[c], {}});
    }
    if (glyphs.empty()) glyphs.push_back({32, charset[32], {}});
    for (Glyph& g : glyphs)
        for (int b = 0; b < 16; ++b) {
            int row = (b / 4) * 2, col = (b % 4) * 2;
            int n = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) n += g.pattern[row + dy] >> (7 - col - dx) & 1;
            g.blockCount[b] = u8(n);
        }
    // The patterns side by side, for the search loop.
    const size_t nGlyphs = glyphs.size();
    std::vector<u8> rows(nGlyphs * 8), counts(nGlyphs * 16);
    for (size_t i = 0; i < nGlyphs; ++i) {
        std::memcpy(&rows[i * 8], glyphs[i].pattern, 8);
        std::memcpy(&counts[i * 16], glyphs[i].blockCount, 16);
    }

    // Per cell: the distance of each of its 64 pixels to each colour (colour
    // by colour), and the sums of its 2x2 blocks. A short picture is black
    // where it ends. 64 distances of at most 585,225 sum within 32 bits.
    std::vector<i32> dist(size_t(1000) * 16 * 64);
    std::vector<i32> blockSum(size_t(1000) * 16 * 3, 0);
    for (int n = 0; n < 1000; ++n) {
        int cx = n % 40, cy = n / 40;
        i32* d = &dist[size_t(n) * 16 * 64];
        i32* bs = &blockSum[size_t(n) * 48];
        for (int p = 0; p < 64; ++p) {
            int row = p / 8, col = p % 8;
            size_t i = size_t(cy * 8 + row) * 320 + cx * 8 + col;
            u32 v = i < src.size() ? src[i] : 0xFF000000u;
            int r = v & 0xFF, g = v >> 8 & 0xFF, b = v >> 16 & 0xFF;
            for (int c = 0; c < 16; ++c) {
                int dr = r - palette[c][0], dg = g - palette[c][1], db = b - palette[c][2];
                d[c * 64 + p] = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            }
            int blk = (row / 2) * 4 + col / 2;
            bs[blk * 3] += r;
            bs[blk * 3 + 1] += g;
            bs[blk * 3 + 2] += b;
        }
    }
    // The least cost of cell n in colours b and f, pixel by pixel.
    auto pairCost = [&](int n, int b, int f) {
        const i32* db = &dist[(size_t(n) * 16 + b) * 64];
        const i32* df = &dist[(size_t(n) * 16 + f) * 64];
        i32 s = 0;
        for (int p = 0; p < 64; ++p) s += std::min(db[p], df[p]);
        return s;
    };

    bool fixedBg = options.background >= 0 &&
                   std::find(allowed.begin(), allowed.end(), options.background) != allowed.end();
    if (fixedBg) {
        bg = options.background;
    } else {
        // Sums over the whole screen reach about 3.7e10: 64 bits.
        std::vector<i64> total(nAllowed, 0);
        std::vector<i32> pc(size_t(nAllowed) * nAllowed);
        for (int n = 0; n < 1000; ++n) {
            for (int i = 0; i < nAllowed; ++i)
                for (int j = i; j < nAllowed; ++j)
                    pc[i * nAllowed + j] = pc[j * nAllowed + i] = pairCost(n, allowed[i], allowed[j]);
            for (int i = 0; i < nAllowed; ++i) {
                i32 least = pc[i * nAllowed];
                for (int j = 1; j < nAllowed; ++j) least = std::min(least, pc[i * nAllowed + j]);
                total[i] += least;
            }
        }
        int best = 0;
        for (int i = 1; i < nAllowed; ++i)
            if (total[i] < total[best]) best = i;
        bg = allowed[best];
    }

    const i64 w = options.detail < 0 ? 0 : options.detail > 1 ? 256 : i64(options.detail * 256 + 0.5f);

    std::vector<int> fg;
    for (int c : allowed)
        if (c != bg) fg.push_back(c);
    if (fg.empty()) fg.push_back(bg);

    struct Pair {
        i64 bound;
        int color;
    };
    std::vector<Pair> pairs(fg.size());
    i32 rowTable[8][256];
    i32 tone[16][5];

    for (int n = 0; n < 1000; ++n) {
        const i32* dBg = &dist[(size_t(n) * 16 + bg) * 64];
        const i32* bs = &blockSum[size_t(n) * 48];
        i64 allBg = 0;
        for (int p = 0; p < 64; ++p) allBg += dBg[p];
        for (size_t i = 0; i < fg.size(); ++i) pairs[i] = {pairCost(n, bg, fg[i]), fg[i]};
        std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
            return a.bound != b.bound ? a.bound < b.bound : a.color < b.color;
        });

        i64 best = std::numeric_limits<i64>::max();
        int bestCode = glyphs[0].code, bestColor = pairs[0].color;
        const int tries = std::min<int>(6, int(pairs.size()));
        for (int t = 0; t < tries; ++t) {
            // bound x w reaches about 1e10: 64 bits.
            if (pairs[t].bound * w >= best) break;
            const int f = pairs[t].color;
            const i32* dF = &dist[(size_t(n) * 16 + f) * 64];
            // Row r's table: entry v sums the differences of the pixels set in v.
            // Each entry is the one without its highest set bit plus that pixel.
            for (int r = 0; r < 8; ++r) {
                i32* tab = rowTable[r];
                tab[0] = 0;
                for (int b = 0; b < 8; ++b) {
                    const int p = r * 8 + 7 - b;
                    const i32 diff = dF[p] - dBg[p];
                    for (int v = 0; v < (1 << b); ++v) tab[(1 << b) + v] = tab[v] + diff;
                }
            }
            const u8* cf = palette[f];
            const u8* cb = palette[bg];
            for (int blk = 0; blk < 16; ++blk)
                for (int k = 0; k <= 4; ++k) {
                    i32 dr = bs[blk * 3] - (k * cf[0] + (4 - k) * cb[0]);
                    i32 dg = bs[blk * 3 + 1] - (k * cf[1] + (4 - k) * cb[1]);
                    i32 db = bs[blk * 3 + 2] - (k * cf[2] + (4 - k) * cb[2]);
                    tone[blk][k] = (3 * dr * dr + 4 * dg * dg + 2 * db * db) / 4;
                }
            for (size_t i = 0; i < nGlyphs; ++i) {
                const u8* pat = &rows[i * 8];
                i64 pc = allBg;
                for (int r = 0; r < 8; ++r) pc += rowTable[r][pat[r]];
                // The tone cost is never negative: a pixel cost that cannot win ends here.
                i64 cost = pc * w;
                if (cost >= best) continue;
                const u8* k = &counts[i * 16];
                i32 tc = 0;
                for (int blk = 0; blk < 16; ++blk) tc += tone[blk][k[blk]];
                cost += i64(tc) * (256 - w);
                if (cost < best) {
                    best = cost;
                    bestCode = glyphs[i].code;
                    bestColor = f;
                }
            }
        }
        screen[n] = u8(bestCode);
        color[n] = u8(bestColor);
    }
}

std::vector<u32> PetsciiConverter::Preview() const {
    std::vector<u32> out(size_t(320) * 200);
    auto pix = [&](int c) {
        const u8* p = palette[c & 15];
        return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | 0xFF000000u;
    };
    const u32 back = pix(bg);
    for (int n = 0; n < 1000; ++n) {
        const u8* pat = charset[screen[n]];
        const u32 fore = pix(color[n]);
        int cx = n % 40, cy = n / 40;
        for (int row = 0; row < 8; ++row) {
            u32* o = &out[size_t(cy * 8 + row) * 320 + cx * 8];
            for (int col = 0; col < 8; ++col) o[col] = pat[row] >> (7 - col) & 1 ? fore : back;
        }
    }
    return out;
}

void PetsciiConverter::Store(Machine& m, int which) const {
    const u8 d018 = m.vic[VicReg::MemoryPointers];
    m.setGfxMode(GfxMode::Text);
    if (which != 2) {
        m.bank = u16(m.bank & 2);
        u8 screenNibble = std::int8_t(d018) < 64 ? u8(d018 & 0xF0) : u8(0x10);
        m.vic[VicReg::MemoryPointers] = u8((which == 1 ? 2 : 0) | (d018 & 1) | 4 | screenNibble);
    } else {
        // The codes were matched against the set at this $D018; leaving text mode
        // must not move it (bit 3 selects the set's address in text mode).
        m.vic[VicReg::MemoryPointers] = d018;
    }
    const u16 scr = m.screenAddr();
    for (int n = 0; n < 1000; ++n) {
        m.ram[u16(scr + n)] = screen[n];
        m.ram[Machine::colorRamAddr + n] = color[n];
    }
    m.vic[VicReg::Background0] = u8(bg);
}
