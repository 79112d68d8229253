#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "core/ByteOrder.h"
#include "import/PictureImport.h"
#include "import/RowDecoder.h"

namespace {

// Once every row is in, the library reads on to the end of the compressed rows: a sound file
// has a few bytes of it left, a decompression bomb gigabytes.
constexpr size_t maxBytesPastRows = 4096;

// The chunks up to the end chunk, by their lengths alone: the rows are read no further than the
// picture needs, so a file cut or damaged after them is found here. Null when sound.
const char* chunkFault(const Bytes& b) {
    for (size_t p = 8;;) {
        if (b.size() - p < 12) return "the file is cut short";
        const u32 length = ByteOrder::be32(&b[p]);
        for (size_t i = p + 4; i < p + 8; ++i)
            if (!((b[i] >= 'A' && b[i] <= 'Z') || (b[i] >= 'a' && b[i] <= 'z'))) return "the file is damaged";
        if (length > 0x7FFFFFFFu) return "the file is damaged";
        if (length > b.size() - p - 12) return "the file is cut short";
        if (std::memcmp(&b[p + 4], "IEND", 4) == 0) return nullptr;
        p += 12 + size_t(length);
    }
}

struct PngReader {
    Bytes bytes;
    size_t pos = 0;
    char why[200] = "the file is damaged";
    png_structp png = nullptr;
    png_infop info = nullptr;
    int passes = 1, pass = 0, row = 0, height = 0;
    bool lastRow = false;   // the row being read is the picture's last
    size_t pastRows = 0;    // bytes read after it
    bool tooMuch = false;   // the compressed rows held more than the picture

    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    bool open(RowDecoder& d);
    bool readRows(RowDecoder& d, int work);
    const char* reason() const { return why; }
};

void readBytes(png_structp png, png_bytep out, size_t n) {
    PngReader* d = static_cast<PngReader*>(png_get_io_ptr(png));
    if (d->lastRow && (png_get_current_pass_number(png) == 7 || png_get_current_row_number(png) >= png_uint_32(d->height))) {
        d->pastRows += n;
        if (d->pastRows > maxBytesPastRows) png_error(png, "Too much image data");
    }
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
    PngReader* d = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(d->why, sizeof d->why, "%s", readable(msg));
    png_longjmp(png, 1);
}

// Warnings pass, but for compressed rows that go on past the picture, which the library lets through.
void onWarning(png_structp png, png_const_charp msg) {
    if (std::strstr(msg, "Too much image data")) static_cast<PngReader*>(png_get_error_ptr(png))->tooMuch = true;
}

// The functions that call libpng hold nothing with a destructor, since it leaves by longjmp.
bool PngReader::open(RowDecoder& d) {
    if (bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0) {
        if (const char* fault = chunkFault(bytes)) {
            std::snprintf(why, sizeof why, "%s", fault);
            return false;
        }
    }
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
    d.width = int(w);
    d.height = height = int(h);
    return true;
}

bool PngReader::readRows(RowDecoder& d, int work) {
    if (setjmp(png_jmpbuf(png))) return false;
    const size_t w = size_t(d.width);
    for (int n = 0; n < work && !d.finished; ++n) {
        // Rows are made as the first pass reaches them; later passes fill in what they hold.
        if (d.pixels.size() < (size_t(row) + 1) * w) d.pixels.resize((size_t(row) + 1) * w);
        lastRow = pass == passes - 1 && row == d.height - 1;
        png_read_row(png, reinterpret_cast<png_bytep>(&d.pixels[size_t(row) * w]), nullptr);
        if (tooMuch) {
            std::snprintf(why, sizeof why, "the file is damaged");
            return false;
        }
        if (++row == d.height) {
            row = 0;
            d.finished = ++pass == passes;
        }
    }
    d.rowsComplete = d.finished ? d.height : pass == passes - 1 ? row : 0;
    d.progress = d.finished ? 1.0 : (double(pass) * d.height + row) / (double(passes) * d.height);
    return true;
}

}  // namespace

std::unique_ptr<RowDecoder> startPngRows(Bytes bytes, std::string& error) {
    auto r = std::make_shared<PngReader>();
    r->bytes = std::move(bytes);
    r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, r.get(), onError, onWarning);
    r->info = r->png ? png_create_info_struct(r->png) : nullptr;
    if (!r->info) {
        error = "there is not enough memory";
        return nullptr;
    }
    return startReader(std::move(r), error);
}
