#include "import/PictureImport.h"

#include <stb/stb_image.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/ByteOrder.h"
#include "import/RowDecoder.h"

namespace {

using ByteOrder::be16;
using ByteOrder::be32;
using ByteOrder::le16;
using ByteOrder::le32;

enum class Kind { None, Png, Jpeg, Bmp, Gif, Tga, Psd };

// TGA has no signature: its header fields must make sense the way the decoder reads them.
bool saneTga(const Bytes& b) {
    if (b.size() < 18) return false;
    const int cmapType = b[1], type = b[2], cmapBits = b[7], bits = b[16];
    const bool mapped = type == 1 || type == 9;
    if (cmapType > 1 || (cmapType == 1) != mapped) return false;
    if (!mapped && type != 2 && type != 3 && type != 10 && type != 11) return false;
    if (le16(&b[12]) < 1 || le16(&b[14]) < 1) return false;
    auto depth = [](int d) { return d == 8 || d == 15 || d == 16 || d == 24 || d == 32; };
    if (mapped) return depth(cmapBits) && (bits == 8 || bits == 16);
    return depth(bits);
}

// Only the kinds the import names reach the decoder, which reads more (PNM,
// HDR, PIC) than it reads safely.
Kind kindOf(const Bytes& b) {
    const size_t n = b.size();
    if (n >= 8 && std::memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8) == 0) return Kind::Png;
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return Kind::Jpeg;
    if (n >= 2 && b[0] == 'B' && b[1] == 'M') return Kind::Bmp;
    if (n >= 6 && (std::memcmp(b.data(), "GIF87a", 6) == 0 || std::memcmp(b.data(), "GIF89a", 6) == 0)) return Kind::Gif;
    if (n >= 4 && std::memcmp(b.data(), "8BPS", 4) == 0) return Kind::Psd;
    if (saneTga(b)) return Kind::Tga;
    return Kind::None;
}

// The size the header gives, as the decoder will take it; false when the
// header does not say (the decoder then decides).
bool headerSize(Kind kind, const Bytes& b, long long& w, long long& h) {
    const size_t n = b.size();
    switch (kind) {
    case Kind::Png:
        if (n < 24 || std::memcmp(&b[12], "IHDR", 4) != 0) return false;
        w = be32(&b[16]), h = be32(&b[20]);
        return true;
    case Kind::Gif:
        if (n < 10) return false;
        w = le16(&b[6]), h = le16(&b[8]);
        return true;
    case Kind::Bmp:
        if (n < 26) return false;
        if (le32(&b[14]) == 12) {
            w = le16(&b[18]), h = le16(&b[20]);
        } else {
            w = i32(le32(&b[18])), h = std::llabs(i32(le32(&b[22])));
        }
        return true;
    case Kind::Tga:
        w = le16(&b[12]), h = le16(&b[14]);
        return true;
    case Kind::Psd:
        if (n < 26) return false;
        h = be32(&b[14]), w = be32(&b[18]);
        return true;
    case Kind::Jpeg:
        for (size_t p = 2; p + 4 <= n;) {
            // Stray bytes and fill bytes before a marker are passed over, as the decoder passes them.
            const int marker = b[p + 1];
            if (b[p] != 0xFF || marker == 0xFF) {
                ++p;
                continue;
            }
            if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
                p += 2;
                continue;
            }
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
                if (p + 9 > n) return false;
                h = be16(&b[p + 5]), w = be16(&b[p + 7]);
                return true;
            }
            p += 2 + be16(&b[p + 2]);
        }
        return false;
    case Kind::None:
        break;
    }
    return false;
}

// The GIF's blocks up to its trailer; bytes after it do not matter, and a file
// that ends after a whole image without its trailer is read as it is.
bool gifCutShort(const Bytes& b) {
    const size_t n = b.size();
    size_t p = 13;
    if (p > n) return true;
    if (b[10] & 0x80) p += 3u << ((b[10] & 7) + 1);
    auto subBlocks = [&]() {
        while (p < n && b[p] != 0) p += 1 + size_t(b[p]);
        if (p >= n) return false;
        ++p;
        return true;
    };
    bool image = false;
    while (p < n) {
        const u8 block = b[p];
        if (block == 0x3B) return false;
        if (block == 0x21) {
            p += 2;
            if (!subBlocks()) return true;
        } else if (block == 0x2C) {
            if (p + 10 > n) return true;
            const u8 flags = b[p + 9];
            p += 10;
            if (flags & 0x80) p += 3u << ((flags & 7) + 1);
            ++p;  // the LZW code size
            if (!subBlocks()) return true;
            image = true;
        } else {
            return false;  // not a block: the decoder decides
        }
    }
    return !image;
}

// Run-length TGA data must hold a packet for every pixel the header gives.
bool tgaRleCutShort(const Bytes& b, long long w, long long h) {
    const size_t n = b.size();
    const long long cmap = b[1] ? (long long)le16(&b[5]) * ((b[7] + 7) / 8) : 0;
    unsigned long long p = 18ull + b[0] + (unsigned long long)cmap;
    const unsigned long long bpp = (b[16] + 7) / 8;
    for (long long left = w * h; left > 0;) {
        if (p >= n) return true;
        const u8 head = b[size_t(p)];
        const unsigned long long count = (head & 0x7F) + 1u;
        p += 1 + (head & 0x80 ? bpp : bpp * count);
        if (p > n) return true;
        left -= (long long)count;
    }
    return false;
}

// A BMP must hold its whole header and reach the offset of its pixels.
bool bmpHeaderCutShort(const Bytes& b) {
    const size_t n = b.size();
    if (n < 18) return true;
    return 14ull + le32(&b[14]) > n || le32(&b[10]) > n;
}

// The decoder reads zeros past the end of some kinds instead of failing:
// uncompressed BMP and TGA must hold all their rows, a GIF its blocks up to
// the trailer. w and h are the header's size.
bool cutShort(Kind kind, const Bytes& b, long long w, long long h) {
    const size_t n = b.size();
    if (kind == Kind::Bmp && bmpHeaderCutShort(b)) return true;
    // Signature and size fields of a PSD's header.
    if (kind == Kind::Psd && n < 26) return true;
    if (kind == Kind::Bmp && (n >= 30 || le32(&b[14]) == 12)) {
        const bool os2 = le32(&b[14]) == 12;
        const u32 compression = os2 || n < 34 ? 0 : le32(&b[30]);
        if (compression != 0 && compression != 3) return false;
        const long long bits = le16(&b[os2 ? 24 : 28]);
        const long long row = (bits * std::llabs(w) + 31) / 32 * 4;
        return (long long)le32(&b[10]) + row * h > (long long)n;
    }
    if (kind == Kind::Gif) return gifCutShort(b);
    if (kind == Kind::Psd && n >= 26) {
        auto be16at = [&](size_t p) { return be16(&b[p]); };
        auto be32at = [&](size_t p) { return be32(&b[p]); };
        const long long channels = be16at(12), depth = be16at(22);
        unsigned long long pos = 26;
        for (int section = 0; section < 3; ++section) {
            if (pos + 4 > n) return true;
            pos += 4 + (unsigned long long)be32at(size_t(pos));
        }
        if (pos + 2 > n) return true;
        const u32 compression = be16at(size_t(pos));
        pos += 2;
        if (compression == 0) return pos + (unsigned long long)(channels * h * w * depth / 8) > n;
        if (compression != 1) return false;
        const unsigned long long table = (unsigned long long)(channels * h) * 2;
        if (pos + table > n) return true;
        unsigned long long data = 0;
        for (unsigned long long i = 0; i < table; i += 2) data += be16at(size_t(pos + i));
        return pos + table + data > n;
    }
    if (kind == Kind::Tga && (b[2] == 1 || b[2] == 2 || b[2] == 3)) {
        const long long cmap = b[1] ? (long long)le16(&b[5]) * ((b[7] + 7) / 8) : 0;
        const long long px = w * h * ((b[16] + 7) / 8);
        return 18 + b[0] + cmap + px > (long long)n;
    }
    if (kind == Kind::Tga && b[2] >= 9) return tgaRleCutShort(b, w, h);
    return false;
}

std::string tooLarge(long long w, long long h) {
    if (w < 1 || h < 1)
        return "the picture has no size (" + std::to_string(w) + " x " + std::to_string(h) + " pixels)";
    return "the picture is too large (" + std::to_string(w) + " x " + std::to_string(h) + " pixels; at most " +
           std::to_string(maxPictureSide) + " a side and " + std::to_string(maxPicturePixels / (1024 * 1024)) +
           " million pixels)";
}

// The decoder's short reasons in words a user understands.
std::string readable(const char* why) {
    static const struct {
        const char* reason;
        const char* words;
    } table[] = {
        {"outofdata", "the file is cut short"},
        {"read past buffer", "the file is cut short"},
        {"not enough pixels", "the file is cut short"},
        {"no IDAT", "the file is cut short"},
        {"BMP RLE", "it uses a compression the import does not read (run-length BMP)"},
        {"BMP JPEG/PNG", "it uses a compression the import does not read (JPEG or PNG inside a BMP)"},
        {"bad compression", "it uses a compression the import does not read"},
        {"unsupported bit depth", "it uses a colour depth the import does not read"},
        {"1/2/4/8/16-bit only", "it uses a colour depth the import does not read"},
        {"bad bits_per_channel", "it uses a colour depth the import does not read"},
        {"only 8-bit", "it uses a colour depth the import does not read"},
        {"wrong color format", "it uses a colour format the import does not read"},
        {"wrong channel count", "it uses a colour format the import does not read"},
        {"wrong version", "it uses a version of the format the import does not read"},
        {"unknown BMP", "it uses a kind of BMP the import does not read"},
        {"0 width", "the picture has no size"},
        {"0-pixel image", "the picture has no size"},
        {"invalid width", "the picture has no size"},
        {"outofmem", "there is not enough memory"},
        {"too large", "the picture is too large"},
    };
    if (!why || !*why) return "the file is damaged";
    for (const auto& t : table)
        if (std::strcmp(why, t.reason) == 0) return t.words;
    return "the file is damaged";
}

bool fits(long long w, long long h) {
    return w <= maxPictureSide && h <= maxPictureSide && w * h <= maxPicturePixels;
}

// The checks every picture passes before its decoder sees it.
bool checkHeader(const Bytes& bytes, Kind& kind, long long& hw, long long& hh, std::string& error) {
    if (bytes.empty() || bytes.size() > size_t(INT_MAX)) {
        error = bytes.empty() ? "the file is empty" : "the file is too large";
        return false;
    }
    kind = kindOf(bytes);
    if (kind == Kind::None) {
        error = "it is not a PNG, JPEG, BMP, GIF, TGA or PSD picture";
        return false;
    }
    if (headerSize(kind, bytes, hw, hh) && (hw < 1 || hh < 1 || !fits(hw, hh))) {
        error = tooLarge(hw, hh);
        return false;
    }
    return true;
}

// The row decoder of a PNG or JPEG; null otherwise. A PNG's chunks are checked by its decoder.
std::unique_ptr<RowDecoder> startRows(Kind kind, Bytes bytes, std::string& error) {
    if (kind == Kind::Png) return startPngRows(std::move(bytes), error);
    if (kind == Kind::Jpeg) return startJpegRows(std::move(bytes), error);
    return nullptr;
}

}  // namespace

bool readAllRows(RowDecoder& d, std::string& error) {
    while (!d.finished)
        if (!d.read(1 << 20)) {
            error = d.error;
            return false;
        }
    return true;
}

bool decodeAllRows(std::unique_ptr<RowDecoder> d, std::vector<u32>& pixels, int& w, int& h, std::string& error) {
    if (!d || !readAllRows(*d, error)) return false;
    pixels = std::move(d->pixels);
    w = d->width;
    h = d->height;
    return true;
}

bool pictureHeaderSize(const Bytes& bytes, long long& w, long long& h) {
    return headerSize(kindOf(bytes), bytes, w, h);
}

bool decodesInBands(const Bytes& bytes) {
    const Kind kind = kindOf(bytes);
    long long w = 0, h = 0;
    if ((kind != Kind::Png && kind != Kind::Jpeg) || !headerSize(kind, bytes, w, h)) return false;
    // A side alone over the bound says it, before the product can overflow.
    return w > maxPixelsAtOnce || h > maxPixelsAtOnce || w * h > maxPixelsAtOnce;
}

std::unique_ptr<RowDecoder> startBandedDecode(Bytes bytes, std::string& error) {
    Kind kind = Kind::None;
    long long hw = 0, hh = 0;
    if (!checkHeader(bytes, kind, hw, hh, error)) return nullptr;
    if (kind == Kind::Png || kind == Kind::Jpeg) return startRows(kind, std::move(bytes), error);
    error = "it is not a PNG or JPEG picture";
    return nullptr;
}

bool decodePicture(const Bytes& bytes, std::vector<u32>& pixels, int& w, int& h, std::string& error) {
    Kind kind = Kind::None;
    long long hw = 0, hh = 0;
    if (!checkHeader(bytes, kind, hw, hh, error)) return false;
    const int len = int(bytes.size());
    int iw = 0, ih = 0, n = 0;
    // The libraries' readers check what the other decoder trusted (a JPEG's Huffman tables), and read a
    // 16-bit PNG to 8 bits row by row.
    if (kind == Kind::Png || kind == Kind::Jpeg) return decodeAllRows(startRows(kind, bytes, error), pixels, w, h, error);
    // A header cut short has no size to check.
    if (cutShort(kind, bytes, hw, hh)) {
        error = "the file is cut short";
        return false;
    }
    if (stbi_info_from_memory(bytes.data(), len, &iw, &ih, &n)) {
        // A BMP stored top row first gives a negative height.
        const long long sh = kind == Kind::Bmp ? std::llabs((long long)ih) : ih;
        if (iw < 1 || sh < 1 || !fits(iw, sh)) {
            error = tooLarge(iw, sh);
            return false;
        }
    }
    stbi_uc* data = stbi_load_from_memory(bytes.data(), len, &iw, &ih, &n, 4);
    if (!data) {
        // The decoder leaves an empty reason for some broken files.
        error = readable(stbi_failure_reason());
        return false;
    }
    if (iw < 1 || ih < 1 || !fits(iw, ih)) {
        stbi_image_free(data);
        error = tooLarge(iw, ih);
        return false;
    }
    pixels.resize(size_t(iw) * ih);
    std::memcpy(pixels.data(), data, pixels.size() * 4);
    stbi_image_free(data);
    w = iw;
    h = ih;
    return true;
}
