#pragma once
#include "tests/FileTestSupport.h"

// Reads D64 images on their own terms, independently of the code under test.
namespace disktest {

using Img = Bytes;

inline int sectors(int t) { return t < 18 ? 21 : t < 25 ? 19 : t < 31 ? 18 : 17; }
inline long offset(int t, int s) {
    long o = 0;
    for (int i = 1; i < t; i++) o += 256L * sectors(i);
    return o + 256L * s;
}

// The blocks of a chain as (track << 8 | sector).
inline std::vector<int> chain(const Img& im, int t, int s) {
    std::vector<int> out;
    while (t != 0 && out.size() < 700) {
        out.push_back(t << 8 | s);
        const uint8_t* b = &im[size_t(offset(t, s))];
        t = b[0], s = b[1];
    }
    return out;
}

inline bool isFree(const Img& im, int t, int s) { return im[size_t(offset(18, 0) + 1 + 4 * t + s / 8)] >> (s % 8) & 1; }

// The free-block total of the BAM, track 18 left out.
inline int freeBlocks(const Img& im) {
    int n = 0;
    for (int t = 1; t <= 35; t++)
        if (t != 18) n += im[size_t(offset(18, 0) + 4 * t)];
    return n;
}

// Empty when the image is consistent: counts match bitmaps, every chain is
// valid and ends properly, no block is in two chains, the used blocks are
// exactly the files' and the directory's, and unused directory slots are zero.
inline std::string validate(const Img& im) {
    const uint8_t* bam = &im[size_t(offset(18, 0))];
    std::vector<char> used(36 << 8);
    used[18 << 8] = 1;
    auto claimAll = [&](const std::vector<int>& c) {
        for (int b : c)
            if ((b >> 8) < 1 || (b >> 8) > 35 || (b & 255) >= sectors(b >> 8) || used[size_t(b)]++) return false;
        return true;
    };
    for (int t = 1; t <= 35; t++) {
        int bits = 0;
        for (int s = 0; s < sectors(t); s++) bits += isFree(im, t, s);
        if (bits != bam[4 * t]) return "count of track " + std::to_string(t);
    }
    std::vector<int> dir = chain(im, 18, 1);
    if (!claimAll(dir)) return "directory chain";
    for (size_t i = 0; i < dir.size() * 8; i++) {
        const uint8_t* e = &im[size_t(offset(dir[i / 8] >> 8, dir[i / 8] & 255)) + 32 * (i % 8)];
        if (e[5] == 0) {
            if (std::any_of(e + 2, e + 32, [](uint8_t b) { return b != 0; })) return "stale slot " + std::to_string(i);
            continue;
        }
        std::vector<int> c = chain(im, e[3], e[4]);
        if (!claimAll(c) || int(c.size()) != (e[30] | e[31] << 8)) return "file chain " + std::to_string(i);
    }
    for (int t = 1; t <= 35; t++)
        for (int s = 0; s < sectors(t); s++)
            if (isFree(im, t, s) == bool(used[size_t(t << 8 | s)])) return "BAM of " + std::to_string(t) + "/" + std::to_string(s);
    return "";
}

}  // namespace disktest
