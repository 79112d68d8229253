#include "core/CharsetConvert.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "core/ScreenCodes.h"

namespace {

using Pattern = std::array<u8, 8>;
using u64 = std::uint64_t;

u64 packed(const Pattern& p) {
    u64 v = 0;
    for (int k = 0; k < 8; ++k) v |= u64(p[k]) << (8 * k);
    return v;
}

struct Pair {
    i32 distance, i, j;
};

// Recursive lookup with path compression.
struct Find {
    std::vector<int>& parent;
    int operator()(int i) const {
        if (parent[i] == i) return i;
        return parent[i] = (*this)(parent[i]);
    }
};

int squaredDistance(const Palette& pal, int a, int b) {
    int d = 0;
    for (int k = 0; k < 3; ++k) {
        const int e = int(pal.rgb[a][k]) - int(pal.rgb[b][k]);
        d += e * e;
    }
    return d;
}

// Hires: background = the colour most 0-bits show; cells whose two colours
// both differ from it keep the foreground only.
int mapHires(std::vector<Pattern>& cells, const u8* scr, u8* colour, i32& inexact) {
    int counts[16] = {};
    for (int i = 0; i < 1000; ++i)
        for (u8 b : cells[i]) counts[scr[i] & 15] += 8 - std::popcount(unsigned(b));
    int bg = 0;
    for (int c = 1; c < 16; ++c)
        if (counts[c] > counts[bg]) bg = c;
    for (int i = 0; i < 1000; ++i) {
        Pattern& p = cells[i];
        const int hi = scr[i] >> 4, lo = scr[i] & 15;
        bool hasZero = false, allZero = true;
        for (u8 b : p) {
            hasZero |= b != 0xFF;
            allZero &= b == 0;
        }
        colour[i] = u8(hi);
        if (lo != bg && hasZero) {
            if (hi == bg || allZero) {
                for (u8& b : p) b ^= 0xFF;
                colour[i] = u8(lo);
            } else {
                ++inexact;
            }
        }
    }
    return bg;
}

// Multicolour: the two colours most used (bright ones weigh four times) become
// the shared ones; each cell may keep one own colour 0-7.
void mapMulticolour(const Machine& m, const Palette& pal, std::vector<Pattern>& cells, const u8* scr,
                    const u8* cram, u8* colour, int& bg, int& m1, int& m2, i32& inexact) {
    bg = m.vic[VicReg::Background0] & 15;
    long long counts[16] = {};
    for (int i = 0; i < 1000; ++i) {
        const int shows[4] = {bg, scr[i] >> 4, scr[i] & 15, cram[i] & 15};
        for (u8 b : cells[i])
            for (int s = 6; s >= 0; s -= 2) ++counts[shows[(b >> s) & 3]];
    }
    counts[bg] = -1;
    int order[16];
    for (int c = 0; c < 16; ++c) order[c] = c;
    auto weight = [&](int c) { return counts[c] * (c >= 8 ? 4 : 1); };
    // Insertion sort keeps equal weights in ascending colour order.
    for (int a = 1; a < 16; ++a)
        for (int b = a; b > 0 && weight(order[b]) > weight(order[b - 1]); --b) std::swap(order[b], order[b - 1]);
    m1 = order[0];
    m2 = order[1];

    for (int i = 0; i < 1000; ++i) {
        const int shows[4] = {bg, scr[i] >> 4, scr[i] & 15, cram[i] & 15};
        bool used[4] = {};
        for (u8 b : cells[i])
            for (int s = 6; s >= 0; s -= 2) used[(b >> s) & 3] = true;
        int c3 = -1;
        int code[4] = {};
        bool inexactCell = false;
        for (int v = 0; v < 4; ++v) {
            if (!used[v]) continue;
            const int c = shows[v];
            if (c == bg) code[v] = 0;
            else if (c == m1) code[v] = 1;
            else if (c == m2) code[v] = 2;
            else if (c <= 7 && (c3 < 0 || c3 == c)) {
                code[v] = 3;
                c3 = c;
            } else {
                const int cand[4] = {bg, m1, m2, c3};
                int best = 0, bestD = squaredDistance(pal, c, bg);
                for (int k = 1; k < (c3 < 0 ? 3 : 4); ++k) {
                    const int d = squaredDistance(pal, c, cand[k]);
                    if (d < bestD) {
                        bestD = d;
                        best = k;
                    }
                }
                code[v] = best;
                inexactCell = true;
            }
        }
        inexact += inexactCell;
        for (u8& b : cells[i]) {
            u8 out = 0;
            for (int s = 6; s >= 0; s -= 2) out |= u8(code[(b >> s) & 3] << s);
            b = out;
        }
        colour[i] = u8((c3 < 0 ? 0 : c3) | 8);
    }
}

// Pairs of all patterns by ascending distance. Distances are 0-64, so a bucket
// pass gives the sorted order directly (i, then j ascending within a distance).
std::vector<Pair> sortedPairs(const std::vector<u64>& pats, bool multicolor) {
    const int n = int(pats.size());
    std::vector<u8> dist(size_t(n) * (n - 1) / 2);
    size_t counts[66] = {};
    size_t k = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j, ++k) {
            u64 x = pats[i] ^ pats[j];
            const int d = multicolor ? 2 * std::popcount((x | x >> 1) & 0x5555555555555555ull)
                                     : std::popcount(x);
            dist[k] = u8(d);
            ++counts[d + 1];
        }
    for (int d = 1; d < 66; ++d) counts[d] += counts[d - 1];
    std::vector<Pair> pairs(dist.size());
    k = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j, ++k) pairs[counts[dist[k]]++] = Pair{dist[k], i, j};
    return pairs;
}

}  // namespace

CharsetConversionResult ConvertBitmapToCharset(Machine& m, const Palette& pal, int slot, bool merge) {
    CharsetConversionResult r;
    if (!m.bitmapMode()) {
        r.error = "The screen has to be in a bitmap mode.";
        return r;
    }
    const std::string problem = CharsetSlotProblem(m, slot);
    if (!problem.empty()) {
        r.error = "Can't put the charset there: " + problem + ".";
        return r;
    }
    const u32 screen = m.screenAddr();
    const u32 bitmap = m.bitmapAddr();
    // The text screen and its colours would overwrite each other.
    if (screen + 1000 > Machine::colorRamAddr && screen < Machine::colorRamAddr + 1000u) {
        r.error = "Can't convert: the video matrix overlaps the color RAM.";
        return r;
    }
    const bool multicolor = m.gfxMode() == GfxMode::MulticolorBitmap;

    // Everything is read before anything is written.
    std::vector<Pattern> cells(1000);
    u8 scr[1000], cram[1000], colour[1000];
    for (int i = 0; i < 1000; ++i) {
        for (int k = 0; k < 8; ++k) cells[i][k] = m.ram[(bitmap + u32(i) * 8 + k) & 0xFFFF];
        scr[i] = m.ram[(screen + i) & 0xFFFF];
        cram[i] = m.ram[Machine::colorRamAddr + i];
    }

    int bg = 0, m1 = 0, m2 = 0;
    if (multicolor) mapMulticolour(m, pal, cells, scr, cram, colour, bg, m1, m2, r.inexactCells);
    else bg = mapHires(cells, scr, colour, r.inexactCells);

    std::map<Pattern, int> index;
    std::vector<Pattern> patterns;
    std::vector<int> cellPattern(1000);
    for (int i = 0; i < 1000; ++i) {
        auto [it, fresh] = index.emplace(cells[i], int(patterns.size()));
        if (fresh) patterns.push_back(cells[i]);
        cellPattern[i] = it->second;
    }
    const int n = int(patterns.size());
    r.uniqueCells = n;

    std::vector<int> charOf(n, -1);
    std::vector<Pattern> chars;
    std::vector<int> parent(n);
    for (int u = 0; u < n; ++u) parent[u] = u;
    Find find{parent};
    if (n > 256) {
        if (!merge) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "The picture has %d different character cells, a charset holds 256.\n"
                          "Enable merging of similar characters to convert anyway.",
                          n);
            r.error = text;
            r.inexactCells = 0;
            return r;
        }
        std::vector<u64> packedPatterns(n);
        std::vector<i32> usage(n, 0);
        for (int u = 0; u < n; ++u) packedPatterns[u] = packed(patterns[u]);
        for (int i = 0; i < 1000; ++i) ++usage[cellPattern[i]];
        int groups = n;
        for (const Pair& p : sortedPairs(packedPatterns, multicolor)) {
            int ri = find(p.i), rj = find(p.j);
            if (ri == rj) continue;
            if (usage[rj] > usage[ri]) std::swap(ri, rj);
            parent[rj] = ri;
            usage[ri] += usage[rj];
            if (--groups == 256) break;
        }
    }
    for (int u = 0; u < n; ++u) {
        const int root = find(u);
        if (charOf[root] < 0) {
            charOf[root] = int(chars.size());
            chars.push_back(patterns[root]);
        }
    }
    for (int i = 0; i < 1000; ++i) r.mergedCells += find(cellPattern[i]) != cellPattern[i];

    const u32 set = m.bankBase() + u32(slot) * 2048;
    std::memset(m.ram + set, 0, 2048);
    for (size_t c = 0; c < chars.size(); ++c) std::memcpy(m.ram + set + c * 8, chars[c].data(), 8);
    for (int i = 0; i < 1000; ++i) {
        m.ram[(screen + i) & 0xFFFF] = u8(charOf[find(cellPattern[i])]);
        m.ram[Machine::colorRamAddr + i] = colour[i];
    }
    m.setGfxMode(multicolor ? 1 : 0);
    m.vic[VicReg::MemoryPointers] = u8((m.vic[VicReg::MemoryPointers] & 0xF1) | (slot << 1));
    m.vic[VicReg::Background0] = u8(bg);
    if (multicolor) {
        m.vic[VicReg::Background1] = u8(m1);
        m.vic[VicReg::Background2] = u8(m2);
    }
    r.charCount = i32(chars.size());
    r.ok = true;
    return r;
}

CharsetConversionResult ConvertBitmapToCharsetWithUndo(Machine& m, const Palette& pal, UndoBuffer& undo,
                                                       int slot, bool merge) {
    UndoBuffer::Item step = undo.capture(UndoBuffer::KindAll, "convert to charset");
    CharsetConversionResult r = ConvertBitmapToCharset(m, pal, slot, merge);
    if (r.ok) undo.Store(std::move(step));
    return r;
}
