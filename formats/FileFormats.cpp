#include "formats/FileFormats.h"

#include <algorithm>
#include <cstring>

#include "core/TextCase.h"
#include "platform/FileIO.h"

namespace FileFormats {

namespace {

#define HIRES "High resolution bitmap\n320x200 pixels"
#define LORES "Low resolution bitmap\n160x200 pixels"

enum ChunkType {
    End = 0,
    Bitmap = 1,
    Screen = 2,
    ColorRam = 3,
    ColorFill = 4,
    Background = 5,
    Border = 6,
    Bitmap1 = 7,
    Screen1 = 8,
    Bitmap2 = 9,
    Screen2 = 10,
};

constexpr Chunk bm(int off) { return {Bitmap, off, 8000}; }
constexpr Chunk sc(int off) { return {Screen, off, 1000}; }
constexpr Chunk cr(int off) { return {ColorRam, off, 1000}; }
constexpr Chunk cf(int off) { return {ColorFill, off, 1}; }
constexpr Chunk bg(int off) { return {Background, off, 1}; }
constexpr Chunk bo(int off) { return {Border, off, 1}; }
constexpr Chunk b1(int off) { return {Bitmap1, off, 8000}; }
constexpr Chunk s1(int off) { return {Screen1, off, 1000}; }
constexpr Chunk b2(int off) { return {Bitmap2, off, 8000}; }
constexpr Chunk s2(int off) { return {Screen2, off, 1000}; }

// Copies len bytes to RAM at dest, never past $FFFF.
void copyClipped(Machine& m, int dest, const u8* src, int len) {
    if (dest < 0 || dest > 0xFFFF || len <= 0) return;
    int n = std::min(len, 0x10000 - dest);
    std::memcpy(m.ram + dest, src, size_t(n));
}

bool loadRaw(Machine& m, const Format& f, const Bytes& data) {
    const int b = f.bitsPerPixel;
    const int p = 8 / b;
    const int mask = (1 << b) - 1;
    const int base = m.bitmapAddr();
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            size_t k = size_t(y) * 320 + size_t(x);
            if (k / size_t(p) >= data.size()) return true;
            int cell = base + (y >> 3) * 320 + (x & 0x1F8);
            if (cell > 0xFFFF) return true;
            int target = cell + (y & 7);
            if (target > 0xFFFF) return true;
            int shift = (p - 1 - int(k % size_t(p))) * b;
            int value = (data[k / size_t(p)] >> shift) & mask;
            u8 bit = u8(0x80 >> (x & 7));
            if (value) m.ram[target] |= bit;
            else m.ram[target] &= u8(~bit);
        }
    }
    return true;
}

}  // namespace

const Format formats[29] = {
    {"Koala Image", "koa;rpm;gig",
     "Multicolor bitmap\nKoala painter\n160x200 pixels\nAlso loads Run Paint and Gigapaint images", 4, 0, 0,
     {bm(0), sc(8000), cr(9000), bg(10000)}},
    {"Hires-Bitmap", "hir;hbm;gih;fgs;mon;gcd;ish", HIRES "\n2 colors", 3, 0, 0, {bm(0)}},
    {"Interpaint image", "iph;art", HIRES "\nCan also load Art Studio images", 3, 0, 0, {bm(0), sc(8000)}},
    {"RAW 8 bit", "raw", HIRES "\nOne pixel per 8 bits", 3, 1, 8, {}},
    {"RAW 4 bit", "raw", HIRES "\nOne pixel per 4 bits", 3, 1, 4, {}},
    {"RAW 2 bit", "raw", HIRES "\nOne pixel per 2 bits", 3, 1, 2, {}},
    {"RAW 1 bit", "raw", HIRES "\nOne pixel per bit", 3, 1, 1, {}},
    {"Hi-Eddi", "hed", HIRES, 3, 0, 0, {bm(0), sc(8192)}},
    {"Doodle", "dd", HIRES, 3, 0, 0, {bm(1024), sc(0)}},
    {"Multicolor", "mbm", LORES, 4, 0, 0, {bm(0)}},
    {"Paint Magick", "pmg", LORES, 4, 0, 0, {bm(114), sc(8306), cf(8117), bg(8114), bo(8118)}},
    {"Picasso 64", "p64", LORES "\nBG color not verified to work", 4, 0, 0, {bm(2048), sc(1024), cr(0), bg(2047)}},
    {"Rainbow Painter", "rp", LORES "\nBG color not verified to work", 4, 0, 0, {bm(1024), sc(0), cr(9216), bg(9215)}},
    {"Advanced Art Studio", "ocp", LORES, 4, 0, 0, {bm(0), sc(8000), cr(9016), bg(9001)}},
    {"Saracen Paint", "sar", LORES "\nPossible load error !!!", 4, 0, 0, {bm(1024), sc(0), cr(9216), bg(1008)}},
    {"Blazing Paddles", "pi", LORES, 4, 0, 0, {bm(0), sc(8192), cr(9216), bg(8064)}},
    {"Micro Illustrator", "mil", LORES "\nUncompressed format", 4, 0, 0, {bm(2020), sc(20), cr(1020)}},
    {"CDU-Paint", "cdu", LORES "\nNot tested!!!", 4, 0, 0, {bm(273), sc(8273), cr(9273), bg(10273)}},
    {"Artist 64", "a64", LORES, 4, 0, 0, {bm(0), sc(8192), cr(9216), bg(10239)}},
    {"Vidcom 64", "vid;dol", LORES "\nAlso loads Dolphin Ed images", 4, 0, 0, {bm(2048), sc(1024), cr(0), bg(2024)}},
    {"Image System", "ism", LORES "\nMulticolor", 4, 0, 0, {bm(1024), sc(9216), cr(0), bg(9215)}},
    {"Face Printer", "fpt", LORES, 4, 0, 0, {bm(0), sc(8000), cr(9000), bg(10002)}},
    {"Drazpaint", "drp", LORES "\nUncompressed format", 4, 0, 0, {bm(2048), sc(1024), cr(0), bg(10048)}},
    {"Cheese", "che", LORES, 4, 0, 0, {bm(0), sc(16896), cr(18432)}},
    {"Create with garfield", "cwg;ipt", LORES "\nAlso loads Interpaint Multicolour images", 4, 0, 0,
     {bm(0), sc(8000), cr(9000), bg(10001)}},
    {"Hires Laze", "hil", HIRES "\nInterlaced\nNot tested!!!", 3, 0, 0, {b1(0), s1(8000), b2(16384), s2(24576)}},
    {"Hires Interlace", "hlf", HIRES "\nInterlaced\nNot tested!!!", 3, 0, 0, {b1(0), s1(8000), b2(16384), s2(9216)}},
    {"Drazlace", "drl", "320/160x200 pixels\nInterlaced\nUncompressed format\nNot tested!!!", 4, 0, 0,
     {b1(2048), s1(1024), b2(10240), cr(0), bg(10048)}},
    {"Truepaint", "mci", "320x200 pixels (?)\nInterlaced\nMulticolor\nNot tested!!!", 4, 0, 0,
     {b1(1024), s1(0), b2(9216), s2(17408), cr(18432), bg(1000)}},
};

#undef HIRES
#undef LORES

int count() { return int(sizeof formats / sizeof formats[0]); }

std::string name(int i) { return i >= 0 && i < count() ? formats[i].name : ""; }

std::string information(int i) { return i >= 0 && i < count() ? formats[i].information : ""; }

std::vector<std::string> extensions(int i) {
    std::vector<std::string> out;
    if (i < 0 || i >= count()) return out;
    std::string piece;
    for (const char* s = formats[i].extensions;; ++s) {
        if (*s == ';' || *s == 0) {
            if (!piece.empty()) out.push_back(piece);
            piece.clear();
            if (*s == 0) break;
        } else {
            piece += *s;
        }
    }
    return out;
}

int findByExtension(const std::string& ext) {
    if (ext.empty()) return -1;
    const std::string lower = LowerCase(ext);
    for (int i = 0; i < count(); ++i) {
        for (const std::string& e : extensions(i))
            if (e == lower) return i;
    }
    return -1;
}

bool load(Machine& m, int fmt, const Bytes& data) {
    if (fmt < 0 || fmt >= count() || data.empty()) return false;
    const Format& f = formats[fmt];
    m.setGfxMode(f.gfxMode);
    if (f.raw) return loadRaw(m, f, data);
    if (data.size() < 3) return false;

    const long n = long(data.size()) - 2;
    const int bitmapOff = (m.vic[VicReg::MemoryPointers] & VicReg::MemoryBitmapHalf) * 1024;
    const int screenOff = (m.vic[VicReg::MemoryPointers] >> 4) * 1024;
    const int base = m.bankBase();
    for (const Chunk& c : f.chunks) {
        if (c.type == End) break;
        if (c.offset < 0 || c.offset >= n) continue;
        const int len = int(std::min<long>(c.length, n - c.offset));
        const u8* src = data.data() + 2 + c.offset;
        switch (c.type) {
        case Bitmap: copyClipped(m, base + bitmapOff, src, len); break;
        case Screen: copyClipped(m, base + screenOff, src, len); break;
        case ColorRam: copyClipped(m, Machine::colorRamAddr, src, len); break;
        case ColorFill: std::memset(m.ram + Machine::colorRamAddr, src[0], 1000); break;
        case Background: m.vic[VicReg::Background0] = src[0]; break;
        case Border: m.vic[VicReg::Border] = src[0]; break;
        case Bitmap1: copyClipped(m, bitmapOff, src, len); break;
        case Screen1: copyClipped(m, screenOff, src, len); break;
        case Bitmap2: copyClipped(m, 0x4000 + bitmapOff, src, len); break;
        case Screen2: copyClipped(m, 0x4000 + screenOff, src, len); break;
        default: break;
        }
    }
    return true;
}

namespace {

// Appends len bytes of RAM from addr; derived addresses end by $FFFF, the mask only guards.
void appendRam(Bytes& out, const Machine& m, int addr, int len) {
    for (int i = 0; i < len; ++i) out.push_back(m.ram[(addr + i) & 0xFFFF]);
}

}  // namespace

Bytes saveKoala(const Machine& m) {
    Bytes out;
    out.reserve(10003);
    out.push_back(0x00);
    out.push_back(0x60);
    appendRam(out, m, m.bitmapAddr(), 8000);
    appendRam(out, m, m.screenAddr(), 1000);
    appendRam(out, m, Machine::colorRamAddr, 1000);
    out.push_back(m.vic[VicReg::Background0]);
    return out;
}

Bytes saveDoodle(const Machine& m) {
    Bytes out;
    out.reserve(9026);
    out.push_back(0x00);
    out.push_back(0x1C);
    appendRam(out, m, m.screenAddr(), 1024);
    appendRam(out, m, m.bitmapAddr(), 8000);
    return out;
}

Bytes savePrg(const Machine& m, int start, int len) {
    start &= 0xFFFF;
    long n = long(start) + long(len) <= 0x10000 ? long(len) : 0x10000L - start;
    if (n < 0) n = 0;
    Bytes out(size_t(2 + n));
    out[0] = u8(start & 0xFF);
    out[1] = u8((start >> 8) & 0xFF);
    if (n) std::memcpy(out.data() + 2, m.ram + start, size_t(n));
    return out;
}

int loadPrg(Machine& m, const Bytes& data, int& start) {
    if (data.size() < 2) return 0;
    start = data[0] + 256 * data[1];
    size_t n = std::min<size_t>(size_t(0x10000 - start), data.size() - 2);
    if (n) std::memcpy(m.ram + start, data.data() + 2, n);
    return int(n);
}

}  // namespace FileFormats
