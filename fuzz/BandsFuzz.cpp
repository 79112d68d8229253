// PNG and JPEG read a band of rows at a time, as the import reads a large picture across frames: band sizes
// from the first byte, a cancel (the reading dropped part way) from the second, and a second reading of the same
// bytes interleaved with the first from the third. What comes out must hold together at every step, and a reading
// taken to its end must give what the whole-file decode gives, picture or reason.
#include <cstring>

#include "FuzzSupport.h"
#include "import/PictureImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const u8 bands = data[0], cancelAt = data[1], other = data[2];
    const Bytes bytes(data + 3, data + size);
    long long iw = 0, ih = 0;
    if (pictureHeaderSize(bytes, iw, ih) && (iw > (1 << 18) || ih > (1 << 18) || iw * ih > (1 << 18))) return 0;

    std::string error, otherError;
    std::unique_ptr<RowDecoder> d = startBandedDecode(bytes, error);
    std::unique_ptr<RowDecoder> second = other & 1 ? startBandedDecode(bytes, otherError) : nullptr;
    if (!d) {
        if (error.empty()) abort();
        std::vector<u32> pixels;
        int w = 0, h = 0;
        std::string whole;
        const bool png = bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
        const bool jpeg = bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
        if ((png || jpeg) && (decodePicture(bytes, pixels, w, h, whole) || whole != error)) abort();
        return 0;
    }
    int rows = 0;
    double progress = 0;
    for (int step = 0; !d->finished; ++step) {
        if (cancelAt != 0 && step == cancelAt) return 0;  // both readings dropped part way
        const int work = 1 + (bands >> (step % 4 * 2) & 3) * (1 + (bands >> 7) * 15);
        if (!d->read(work)) {
            if (d->error.empty()) abort();
            break;
        }
        if (d->rowsComplete < rows || d->rowsComplete > d->height) abort();
        if (d->pixels.size() < size_t(d->rowsComplete) * size_t(d->width)) abort();
        if (d->progress < progress - 1e-9 || d->progress > 1.0 + 1e-9) abort();
        rows = d->rowsComplete;
        progress = d->progress;
        if (second && !second->finished && !second->read(1 + (other >> 1 & 7))) {
            if (second->error.empty()) abort();
            second.reset();
        }
        if (second && other & 0x80 && step == (other >> 4 & 7)) second.reset();
    }
    std::vector<u32> pixels;
    int w = 0, h = 0;
    std::string whole;
    const bool read = decodePicture(bytes, pixels, w, h, whole);
    if (d->finished) {
        if (d->rowsComplete != d->height || d->pixels.size() != size_t(d->width) * size_t(d->height)) abort();
        d->release();
        if (!read || w != d->width || h != d->height || pixels != d->pixels) abort();
    } else if (read || whole != d->error) {
        abort();
    }
    return 0;
}
