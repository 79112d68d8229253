#include "import/PngRows.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "import/PictureImport.h"

namespace {

struct PngDecoder : RowDecoder {
    Bytes bytes;
    size_t pos = 0;
    char why[200] = "the file is damaged";
    png_structp png = nullptr;
    png_infop info = nullptr;
    int passes = 1, pass = 0, row = 0;

    ~PngDecoder() override { release(); }
    void release() override {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        released = true;
    }
    bool open();
    bool read(int work) override;
    bool readRows(int work);
};

void readBytes(png_structp png, png_bytep out, size_t n) {
    PngDecoder* d = static_cast<PngDecoder*>(png_get_io_ptr(png));
    if (n > d->bytes.size() - d->pos) png_error(png, "the file is cut short");
    std::memcpy(out, d->bytes.data() + d->pos, n);
    d->pos += n;
}

// libpng's reasons in the words the import uses.
const char* readable(const char* msg) {
    if (std::strstr(msg, "cut short") || std::strstr(msg, "Not enough image data")) return "the file is cut short";
    if (std::strstr(msg, "is zero") || std::strstr(msg, "Invalid image width") || std::strstr(msg, "Invalid image height"))
        return "the picture has no size";
    if (std::strstr(msg, "too large") || std::strstr(msg, "exceeds user limit") || std::strstr(msg, "exceeds maximum"))
        return "the picture is too large";
    if (std::strstr(msg, "Not a PNG")) return "it is not a PNG, JPEG, BMP, GIF, TGA or PSD picture";
    return "the file is damaged";
}

void onError(png_structp png, png_const_charp msg) {
    PngDecoder* d = static_cast<PngDecoder*>(png_get_error_ptr(png));
    std::snprintf(d->why, sizeof d->why, "%s", readable(msg));
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The functions that call libpng hold nothing with a destructor, since it leaves by longjmp.
bool PngDecoder::open() {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, this, readBytes);
    png_set_user_limits(png, maxPictureSide, maxPictureSide);
    // As the whole-file decoder does, a checksum does not stop the picture.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if ((long long)w * h > maxPicturePixels) png_error(png, "the picture is too large");
    png_set_strip_16(png);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4) png_error(png, "unexpected pixel layout");
    width = int(w);
    height = int(h);
    return true;
}

bool PngDecoder::readRows(int work) {
    if (setjmp(png_jmpbuf(png))) return false;
    const size_t w = size_t(width);
    for (int n = 0; n < work && !finished; ++n) {
        // Rows are made as the first pass reaches them; later passes fill in what they hold.
        if (pixels.size() < (size_t(row) + 1) * w) pixels.resize((size_t(row) + 1) * w);
        png_read_row(png, reinterpret_cast<png_bytep>(&pixels[size_t(row) * w]), nullptr);
        if (++row == height) {
            row = 0;
            finished = ++pass == passes;
        }
    }
    rowsComplete = finished ? height : pass == passes - 1 ? row : 0;
    progress = finished ? 1.0 : (double(pass) * height + row) / (double(passes) * height);
    return true;
}

bool PngDecoder::read(int work) {
    if (finished) return true;
    if (!readRows(work)) {
        error = why;
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<RowDecoder> startPngRows(Bytes bytes, std::string& error) {
    auto d = std::make_unique<PngDecoder>();
    d->bytes = std::move(bytes);
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, d.get(), onError, onWarning);
    d->info = d->png ? png_create_info_struct(d->png) : nullptr;
    if (!d->info) {
        error = "there is not enough memory";
        return nullptr;
    }
    if (!d->open()) {
        error = d->why;
        return nullptr;
    }
    d->pixels.reserve(size_t(d->width) * size_t(d->height));
    return d;
}

bool readAllRows(RowDecoder& d, std::string& error) {
    while (!d.finished)
        if (!d.read(1 << 20)) {
            error = d.error;
            return false;
        }
    return true;
}

bool decodePngRows(const Bytes& bytes, std::vector<u32>& pixels, int& w, int& h, std::string& error) {
    std::unique_ptr<RowDecoder> d = startPngRows(bytes, error);
    if (!d || !readAllRows(*d, error)) return false;
    pixels = std::move(d->pixels);
    w = d->width;
    h = d->height;
    return true;
}
