#include "import/ColorReducer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct KernelEntry {
    int dx, dy;
    float weight;
};
struct Kernel {
    const KernelEntry* entries;
    int count;
    float divisor;
};

const KernelEntry floyd[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
const KernelEntry jarvis[] = {{1, 0, 7}, {2, 0, 5},  {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5},
                              {2, 1, 3}, {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},  {1, 2, 3}, {2, 2, 1}};
const KernelEntry stucki[] = {{1, 0, 8}, {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                              {2, 1, 2}, {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},  {1, 2, 2}, {2, 2, 1}};

const Kernel* kernelFor(int dither) {
    static const Kernel kernels[3] = {{floyd, 4, 16.0f}, {jarvis, 12, 48.0f}, {stucki, 12, 42.0f}};
    return dither >= 1 && dither <= 3 ? &kernels[dither - 1] : nullptr;
}

// The most frequent colour (lowest index on ties), whose count is then spent;
// deflt when every count is zero.
int takeMax(int* counts, int deflt) {
    int best = 0;
    for (int i = 1; i < 16; ++i)
        if (counts[i] > counts[best]) best = i;
    if (counts[best] == 0) return deflt;
    counts[best] = 0;
    return best;
}

}  // namespace

std::vector<int> ColorReducer::allowedColors(int colorMode) {
    if (colorMode == 0) return {0, 1};
    if (colorMode == 1) return {0, 11, 12, 15, 1};
    std::vector<int> all(16);
    for (int i = 0; i < 16; ++i) all[i] = i;
    return all;
}

void ColorReducer::SetPalette(const u8 (*rgb)[3]) { std::memcpy(palette, rgb, sizeof palette); }

namespace {

// Where the picture lies in the 320 x 200 space.
struct Placement {
    double dw, dh, offX, offY;
};

Placement place(int w, int h, bool zoomToFit, bool keepAspect) {
    double dw = w, dh = h;
    if (zoomToFit && !keepAspect) {
        dw = 320;
        dh = 200;
    } else if (zoomToFit) {
        double s = std::min(200.0 / h, 320.0 / w);
        dw = s * w;
        dh = s * h;
    }
    double offX = zoomToFit && !keepAspect ? 0 : (320 - dw) / 2;
    double offY = zoomToFit && !keepAspect ? 0 : (200 - dh) / 2;
    return {dw, dh, offX, offY};
}

// The source rows of output row y; false when the row stays black.
bool sourceRows(const Placement& pl, int h, int y, int& sy0, int& sy1) {
    double a = (y - pl.offY) * h / pl.dh, b = (y + 1 - pl.offY) * h / pl.dh;
    if (b <= 0 || a >= h) return false;
    sy0 = std::max(0, int(a));
    sy1 = std::min(std::max(sy0 + 1, int(std::ceil(b))), h);
    return true;
}

}  // namespace

std::vector<u32> ColorReducer::Resize(const u32* src, int w, int h, int dstW, bool zoomToFit,
                                      bool keepAspect) {
    if (dstW < 1) dstW = 320;
    std::vector<u32> out(size_t(dstW) * 200, 0xFF000000u);
    ResizeRows(src, w, h, dstW, zoomToFit, keepAspect, 0, 200, out.data());
    return out;
}

int ColorReducer::ResizeRowsReady(int w, int h, bool zoomToFit, bool keepAspect, int rows) {
    if (w < 1 || h < 1) return 200;
    const Placement pl = place(w, h, zoomToFit, keepAspect);
    int y = 0;
    for (int sy0 = 0, sy1 = 0; y < 200; ++y)
        if (sourceRows(pl, h, y, sy0, sy1) && sy1 > rows) break;
    return y;
}

namespace {

// One width the rows are resampled to: the source column range of every output column.
struct ResizeTarget {
    int dstW;
    u32* out;
    std::vector<int> cx0, cx1;
};

// Output rows y0 to y1 - 1 at every target width, reading each source row once for all of them.
void resizeRows(const u32* src, int w, int h, const Placement& pl, int y0, int y1, ResizeTarget* targets, int count) {
    const double dw = pl.dw, offX = pl.offX;
    // Source columns any output column of any width reads.
    int used0 = w, used1 = 0;
    for (ResizeTarget* t = targets; t != targets + count; ++t) {
        const double step = 320.0 / t->dstW;
        t->cx0.assign(t->dstW, -1);
        t->cx1.assign(t->dstW, -1);
        for (int x = 0; x < t->dstW; ++x) {
            // Multiplied before dividing, so one source pixel per unit stays exact.
            double a = (x * step - offX) * w / dw, b = ((x + 1) * step - offX) * w / dw;
            if (b <= 0 || a >= w) continue;
            int s0 = std::max(0, int(a));
            t->cx0[x] = s0;
            t->cx1[x] = std::min(std::max(s0 + 1, int(std::ceil(b))), w);
            used0 = std::min(used0, t->cx0[x]), used1 = std::max(used1, t->cx1[x]);
        }
    }
    if (used0 >= used1) return;

    // Per source column, the alpha-weighted sums of the box's rows: each row is
    // read once, in order. The rows are added packed, R, B and G in 16-bit
    // lanes of one word, which hold 257 rows of 255; every 257 rows the lanes
    // go into the wide sums.
    std::vector<unsigned long long> packed(w), colR(w), colG(w), colB(w);
    auto pack = [](u32 v) { return (unsigned long long)(v & 0xFF00FF) | (unsigned long long)(v & 0xFF00) << 24; };
    auto flush = [&] {
        for (int sx = used0; sx < used1; ++sx) {
            const unsigned long long c = packed[sx];
            colR[sx] += c & 0xFFFF;
            colB[sx] += c >> 16 & 0xFFFF;
            colG[sx] += c >> 32 & 0xFFFF;
            packed[sx] = 0;
        }
    };
    for (int y = std::max(0, y0); y < std::min(y1, 200); ++y) {
        int sy0 = 0, sy1 = 0;
        if (!sourceRows(pl, h, y, sy0, sy1)) continue;
        std::fill(colR.begin() + used0, colR.begin() + used1, 0ull);
        std::fill(colG.begin() + used0, colG.begin() + used1, 0ull);
        std::fill(colB.begin() + used0, colB.begin() + used1, 0ull);
        for (int sy = sy0; sy < sy1; ++sy) {
            const u32* p = src + size_t(sy) * w;
            u32 opaque = 0xFF000000u;
            for (int sx = used0; sx < used1; ++sx) opaque &= p[sx];
            if (opaque == 0xFF000000u) {
                for (int sx = used0; sx < used1; ++sx) packed[sx] += pack(p[sx]);
            } else {
                for (int sx = used0; sx < used1; ++sx) {
                    const u32 v = p[sx], al = v >> 24;
                    if (al == 255)
                        packed[sx] += pack(v);
                    else if (al != 0)
                        packed[sx] += pack((v & 0xFF) * al / 255 | ((v >> 8 & 0xFF) * al / 255) << 8 |
                                           ((v >> 16 & 0xFF) * al / 255) << 16);
                }
            }
            if ((sy - sy0) % 257 == 256) flush();
        }
        flush();
        for (ResizeTarget* t = targets; t != targets + count; ++t) {
            const std::vector<int>&cx0 = t->cx0, &cx1 = t->cx1;
            u32* row = &t->out[size_t(y) * t->dstW];
            for (int x = 0; x < t->dstW; ++x) {
                if (cx0[x] < 0) continue;
                unsigned long long r = 0, g = 0, bl = 0;
                for (int sx = cx0[x]; sx < cx1[x]; ++sx) {
                    r += colR[sx];
                    g += colG[sx];
                    bl += colB[sx];
                }
                unsigned long long n = (unsigned long long)(sy1 - sy0) * (cx1[x] - cx0[x]);
                row[x] = u32(r / n) | u32(g / n) << 8 | u32(bl / n) << 16 | 0xFF000000u;
            }
        }
    }
}

}  // namespace

void ColorReducer::ResizeRows(const u32* src, int w, int h, int dstW, bool zoomToFit, bool keepAspect, int y0,
                              int y1, u32* out) {
    if (!src || w < 1 || h < 1 || dstW < 1) return;
    ResizeTarget target{dstW, out, {}, {}};
    resizeRows(src, w, h, place(w, h, zoomToFit, keepAspect), y0, y1, &target, 1);
}

void ColorReducer::ResizeRowsBothWidths(const u32* src, int w, int h, bool zoomToFit, bool keepAspect, int y0, int y1,
                                        u32* out160, u32* out320) {
    if (!src || w < 1 || h < 1) return;
    ResizeTarget targets[2] = {{160, out160, {}, {}}, {320, out320, {}, {}}};
    resizeRows(src, w, h, place(w, h, zoomToFit, keepAspect), y0, y1, targets, 2);
}


void ColorReducer::quantize(const std::vector<u32>& src, int dither, bool perCell) {
    const size_t n = size_t(width) * 200;
    error.assign(n * 3, 0.0f);
    pixels.assign(n, 0);
    const Kernel* kernel = kernelFor(dither);

    // Targets of the 16 colours per channel for this mode.
    float target[16][3];
    for (int c = 0; c < 16; ++c) {
        const u8* p = palette[c];
        for (int k = 0; k < 3; ++k) {
            if (colorMode == 0) target[c][k] = c == 1 ? 255.0f : 0.0f;
            else if (colorMode == 1) target[c][k] = float(luminance(p[0], p[1], p[2]));
            else target[c][k] = p[k];
        }
    }

    const int cellW = width == 160 ? 4 : 8;
    int cand[4];
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < width; ++x) {
            size_t i = size_t(y) * width + x;
            u32 v = src[i];
            int r = v & 0xFF, g = v >> 8 & 0xFF, b = v >> 16 & 0xFF;
            float s[3];
            if (colorMode == 0 || colorMode == 1) {
                float l = float(luminance(r, g, b));
                s[0] = s[1] = s[2] = l;
            } else {
                s[0] = float(r);
                s[1] = float(g);
                s[2] = float(b);
            }
            // Error from colours far outside the palette must not pile up without bound.
            if (kernel)
                for (int k = 0; k < 3; ++k) s[k] = std::clamp(s[k] + error[i * 3 + k], 0.0f, 255.0f);

            const int* list;
            int count;
            if (!perCell) {
                list = allowed.data();
                count = int(allowed.size());
            } else {
                const u8* slots = cellColors[x / cellW][y / 8];
                if (width == 160) {
                    cand[0] = bg;
                    cand[1] = slots[0];
                    cand[2] = slots[1];
                    cand[3] = slots[2];
                    count = 4;
                } else {
                    cand[0] = slots[0];
                    cand[1] = slots[1];
                    count = 2;
                }
                list = cand;
            }
            int best = list[0];
            float bestD = 0;
            for (int j = 0; j < count; ++j) {
                const float* t = target[list[j] & 15];
                float d0 = s[0] - t[0], d1 = s[1] - t[1], d2 = s[2] - t[2];
                float d = d0 * d0 + d1 * d1 + d2 * d2;
                if (j == 0 || d < bestD) {
                    bestD = d;
                    best = list[j];
                }
            }
            pixels[i] = u8(best);

            if (!kernel) continue;
            const float* t = target[best & 15];
            float e[3] = {s[0] - t[0], s[1] - t[1], s[2] - t[2]};
            for (int k = 0; k < kernel->count; ++k) {
                const KernelEntry& ke = kernel->entries[k];
                int tx = x + ke.dx, ty = y + ke.dy;
                if (tx < 0 || tx >= width || ty >= 200) continue;
                float* dst = &error[(size_t(ty) * width + tx) * 3];
                for (int c = 0; c < 3; ++c) dst[c] += ke.weight * e[c] / kernel->divisor;
            }
        }
    }
}

bool ColorReducer::calcPaletteHires() {
    bool fits = true;
    for (int cy = 0; cy < 25; ++cy) {
        for (int cx = 0; cx < 40; ++cx) {
            int counts[16] = {};
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) ++counts[pixels[size_t(cy * 8 + y) * width + cx * 8 + x] & 15];
            u8* slots = cellColors[cx][cy];
            slots[0] = u8(takeMax(counts, 0));
            slots[1] = u8(takeMax(counts, slots[0]));
            slots[2] = 0;
            for (int c = 0; c < 16; ++c)
                if (counts[c]) fits = false;
        }
    }
    return fits;
}

bool ColorReducer::calcPalette(int background) {
    if (background < 0) {
        int counts[16] = {};
        for (u8 p : pixels) ++counts[p & 15];
        background = takeMax(counts, 0);
    }
    bg = background;
    bool fits = true;
    for (int cy = 0; cy < 25; ++cy) {
        for (int cx = 0; cx < 40; ++cx) {
            int counts[16] = {};
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 4; ++x) {
                    int c = pixels[size_t(cy * 8 + y) * width + cx * 4 + x] & 15;
                    if (c != bg) ++counts[c];
                }
            u8* slots = cellColors[cx][cy];
            for (int s = 0; s < 3; ++s) slots[s] = u8(takeMax(counts, bg));
            for (int c = 0; c < 16; ++c)
                if (counts[c]) fits = false;
        }
    }
    return fits;
}

void ColorReducer::Reduce(const std::vector<u32>& src, int w, int mode, int dither, int background) {
    width = w == 160 ? 160 : 320;
    colorMode = mode;
    allowed = allowedColors(mode);
    if (src.size() < size_t(width) * 200) {
        // A short picture counts as black where it ends.
        std::vector<u32> padded(src);
        padded.resize(size_t(width) * 200, 0xFF000000u);
        Reduce(padded, w, mode, dither, background);
        return;
    }
    if (background >= 0 && std::find(allowed.begin(), allowed.end(), background) == allowed.end())
        background = -1;
    quantize(src, dither, false);
    if (width == 320) {
        if (!calcPaletteHires()) quantize(src, dither, true);
    } else {
        if (!calcPalette(background)) quantize(src, dither, true);
    }
}

std::vector<u32> ColorReducer::Preview() const {
    std::vector<u32> out(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const u8* p = palette[pixels[i] & 15];
        out[i] = u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | 0xFF000000u;
    }
    return out;
}

void ColorReducer::Store(Machine& m) const {
    const bool multi = width == 160;
    m.setGfxMode(multi ? 4 : 3);
    if (pixels.size() < size_t(width) * 200) return;
    const u16 screen = m.screenAddr(), bitmap = m.bitmapAddr();
    for (int cy = 0; cy < 25; ++cy) {
        for (int cx = 0; cx < 40; ++cx) {
            int n = cy * 40 + cx;
            const u8* slots = cellColors[cx][cy];
            for (int y = 0; y < 8; ++y) {
                u8 byte = 0;
                const u8* row = &pixels[size_t(cy * 8 + y) * width];
                if (multi) {
                    for (int x = 0; x < 4; ++x) {
                        int c = row[cx * 4 + x];
                        int bits = c == bg ? 0 : c == slots[0] ? 1 : c == slots[1] ? 2 : c == slots[2] ? 3 : 0;
                        byte = u8(byte | bits << (6 - 2 * x));
                    }
                } else {
                    for (int x = 0; x < 8; ++x)
                        if (row[cx * 8 + x] == slots[1] && slots[1] != slots[0]) byte = u8(byte | 0x80 >> x);
                }
                m.ram[u16(bitmap + n * 8 + y)] = byte;
            }
            if (multi) {
                m.ram[u16(screen + n)] = u8(slots[0] << 4 | slots[1]);
                m.ram[Machine::colorRamAddr + n] = slots[2];
            } else {
                m.ram[u16(screen + n)] = u8(slots[1] << 4 | slots[0]);
            }
        }
    }
    if (multi) m.vic[VicReg::Background0] = u8(bg);
}
