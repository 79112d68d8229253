#include "import/PngRows.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "import/PictureImport.h"

namespace {

struct Reader {
    const Bytes* bytes;
    size_t pos;
    char error[200];
};

void readBytes(png_structp png, png_bytep out, size_t n) {
    Reader* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (n > r->bytes->size() - r->pos) png_error(png, "the file is cut short");
    std::memcpy(out, r->bytes->data() + r->pos, n);
    r->pos += n;
}

void onError(png_structp png, png_const_charp msg) {
    Reader* r = static_cast<Reader*>(png_get_error_ptr(png));
    std::snprintf(r->error, sizeof r->error, "%s", msg);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Kept apart from anything with a destructor, since libpng leaves by longjmp.
bool readInto(png_structp png, png_infop info, Reader& reader, std::vector<u32>& pixels, std::vector<png_bytep>& rows,
              int& w, int& h) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &reader, readBytes);
    png_set_user_limits(png, maxPictureSide, maxPictureSide);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if ((long long)width * height > maxPicturePixels) png_error(png, "the picture is too large");
    png_set_strip_16(png);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4) png_error(png, "unexpected pixel layout");
    pixels.assign(size_t(width) * height, 0);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = reinterpret_cast<png_bytep>(&pixels[size_t(y) * width]);
    png_read_image(png, rows.data());
    w = int(width);
    h = int(height);
    return true;
}

}  // namespace

bool decodePngRows(const Bytes& bytes, std::vector<u32>& pixels, int& w, int& h, std::string& error) {
    Reader reader{&bytes, 0, "unknown error"};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = "out of memory";
        return false;
    }
    std::vector<u32> out;
    std::vector<png_bytep> rows;
    const bool ok = readInto(png, info, reader, out, rows, w, h);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        error = reader.error;
        return false;
    }
    pixels = std::move(out);
    return true;
}
