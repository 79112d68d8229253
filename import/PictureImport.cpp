#include "import/PictureImport.h"

#include <stb/stb_image.h>

#include <climits>
#include <cstdlib>
#include <cstring>


namespace {

u32 le16(const u8* p) { return u32(p[0]) | u32(p[1]) << 8; }
u32 le32(const u8* p) { return le16(p) | le16(p + 2) << 16; }

// The decoder reads zeros past the end of some kinds instead of failing:
// uncompressed BMP and TGA must hold all their rows, a GIF its trailer.
bool cutShort(const Bytes& b) {
    const size_t n = b.size();
    if (n >= 34 && b[0] == 'B' && b[1] == 'M') {
        const u32 compression = le32(&b[30]);
        if (compression != 0 && compression != 3) return false;
        const long long w = i32(le32(&b[18])), h = i32(le32(&b[22]));
        const long long row = (le16(&b[28]) * std::llabs(w) + 31) / 32 * 4;
        return (long long)le32(&b[10]) + row * std::llabs(h) > (long long)n;
    }
    if (n >= 6 && (std::memcmp(b.data(), "GIF87a", 6) == 0 || std::memcmp(b.data(), "GIF89a", 6) == 0)) {
        size_t end = n;
        while (end > 0 && b[end - 1] == 0) --end;  // padding after the trailer
        return end == 0 || b[end - 1] != 0x3B;
    }
    if (n >= 26 && std::memcmp(b.data(), "8BPS", 4) == 0) {
        auto be16 = [&](size_t p) { return u32(b[p]) << 8 | b[p + 1]; };
        auto be32 = [&](size_t p) { return be16(p) << 16 | be16(p + 2); };
        const long long channels = be16(12), h = be32(14), w = be32(18), depth = be16(22);
        unsigned long long pos = 26;
        for (int section = 0; section < 3; ++section) {
            if (pos + 4 > n) return true;
            pos += 4 + (unsigned long long)be32(size_t(pos));
        }
        if (pos + 2 > n) return true;
        const u32 compression = be16(size_t(pos));
        pos += 2;
        if (compression == 0) return pos + (unsigned long long)(channels * h * w * depth / 8) > n;
        if (compression != 1) return false;
        const unsigned long long table = (unsigned long long)(channels * h) * 2;
        if (pos + table > n) return true;
        unsigned long long data = 0;
        for (unsigned long long i = 0; i < table; i += 2) data += be16(size_t(pos + i));
        return pos + table + data > n;
    }
    // TGA has no signature: only when the decoder took it as one.
    if (n >= 18 && (b[2] == 1 || b[2] == 2 || b[2] == 3)) {
        const long long cmap = b[1] ? (long long)le16(&b[5]) * ((b[7] + 7) / 8) : 0;
        const long long px = (long long)le16(&b[12]) * le16(&b[14]) * ((b[16] + 7) / 8);
        return 18 + b[0] + cmap + px > (long long)n;
    }
    return false;
}

}  // namespace

bool decodePicture(const Bytes& bytes, std::vector<u32>& pixels, int& w, int& h, std::string& error) {
    if (bytes.empty() || bytes.size() > size_t(INT_MAX)) {
        error = bytes.empty() ? "the file is empty" : "the file is too large";
        return false;
    }
    int iw = 0, ih = 0, n = 0;
    const int len = int(bytes.size());
    if (!stbi_info_from_memory(bytes.data(), len, &iw, &ih, &n)) {
        const char* why = stbi_failure_reason();
        error = why && *why ? why : "unknown image type";
        return false;
    }
    if (iw < 1 || ih < 1 || iw > maxPictureSide || ih > maxPictureSide ||
        (long long)iw * ih > maxPicturePixels) {
        error = "the picture is too large (" + std::to_string(iw) + " x " + std::to_string(ih) +
                " pixels; at most " + std::to_string(maxPictureSide) + " a side and " +
                std::to_string(maxPicturePixels / (1024 * 1024)) + " million pixels)";
        return false;
    }
    if (cutShort(bytes)) {
        error = "the file is cut short";
        return false;
    }
    stbi_uc* data = stbi_load_from_memory(bytes.data(), len, &iw, &ih, &n, 4);
    if (!data) {
        // The decoder leaves an empty reason for some broken files.
        const char* why = stbi_failure_reason();
        error = why && *why ? why : "unknown error";
        return false;
    }
    pixels.resize(size_t(iw) * ih);
    std::memcpy(pixels.data(), data, pixels.size() * 4);
    stbi_image_free(data);
    w = iw;
    h = ih;
    return true;
}
