// JPEG through libjpeg-turbo's scanlines, a band at a time. Its pixels may differ
// from other decoders' by a rounding step, which the reduction to 16 colours does
// not mind.
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>

#include "import/PictureImport.h"
#include "import/RowDecoder.h"

namespace {

struct Errors {
    jpeg_error_mgr mgr;  // first, so the library's pointer to it is one to this
    std::jmp_buf jump;
    const char* why;
};

void onError(j_common_ptr c) {
    Errors* e = reinterpret_cast<Errors*>(c->err);
    switch (c->err->msg_code) {
    case JERR_INPUT_EOF: e->why = "the file is cut short"; break;
    case JERR_EMPTY_IMAGE: e->why = "the picture has no size"; break;
    case JERR_IMAGE_TOO_BIG: e->why = "the picture is too large"; break;
    case JERR_OUT_OF_MEMORY: e->why = "there is not enough memory"; break;
    case JERR_NOT_COMPILED:
    case JERR_BAD_PRECISION: e->why = "it uses a kind of JPEG the import does not read"; break;
    default: e->why = "the file is damaged";
    }
    std::longjmp(e->jump, 1);
}

// Warnings pass, but the end of the data, which the library would pad with grey, is a cut file.
void onMessage(j_common_ptr c, int level) {
    if (level == -1 && c->err->msg_code == JWRN_JPEG_EOF) {
        reinterpret_cast<Errors*>(c->err)->why = "the file is cut short";
        std::longjmp(reinterpret_cast<Errors*>(c->err)->jump, 1);
    }
}

// Inverted CMYK as Adobe writes it (and the library gives YCCK), to RGB.
u8 times(int x, int y) {
    const int t = x * y + 128;
    return u8((t + (t >> 8)) >> 8);
}

struct JpegReader {
    Bytes bytes;
    Errors err{};
    jpeg_decompress_struct info{};
    bool created = false;
    bool buffered = false;  // several scans: all input is taken in before rows come out
    bool outputStarted = false;
    bool cmyk = false;

    ~JpegReader() {
        if (created) jpeg_destroy_decompress(&info);
    }
    // Both call the library, which leaves by longjmp: nothing in them has a destructor.
    bool open(RowDecoder& d);
    bool readRows(RowDecoder& d, int work);
    const char* reason() const { return err.why; }
};

bool JpegReader::open(RowDecoder& d) {
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onError;
    err.mgr.emit_message = onMessage;
    err.why = "the file is damaged";
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&info);
    created = true;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.image_width < 1 || info.image_height < 1) {
        err.why = "the picture has no size";
        return false;
    }
    if (info.image_width > unsigned(maxPictureSide) || info.image_height > unsigned(maxPictureSide) ||
        (long long)info.image_width * info.image_height > maxPicturePixels) {
        err.why = "the picture is too large";
        return false;
    }
    cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (!cmyk && info.num_components != 1 && info.num_components != 3) return false;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    buffered = jpeg_has_multiple_scans(&info);
    info.buffered_image = buffered;
    jpeg_start_decompress(&info);
    d.width = int(info.output_width);
    d.height = int(info.output_height);
    return true;
}

bool JpegReader::readRows(RowDecoder& d, int work) {
    if (setjmp(err.jump)) return false;
    const size_t w = size_t(d.width);
    for (int n = 0; n < work && !d.finished; ++n) {
        if (buffered && !outputStarted) {
            if (jpeg_consume_input(&info) == JPEG_REACHED_EOI) {
                jpeg_start_output(&info, info.input_scan_number);
                outputStarted = true;
            }
            continue;
        }
        const size_t y = info.output_scanline;
        if (d.pixels.size() < (y + 1) * w) d.pixels.resize((y + 1) * w);
        JSAMPROW row = reinterpret_cast<JSAMPROW>(&d.pixels[y * w]);
        jpeg_read_scanlines(&info, &row, 1);
        if (cmyk) {
            for (size_t x = 0; x < w; ++x) {
                const u8* p = row + x * 4;
                const int k = p[3];
                d.pixels[y * w + x] = times(p[0], k) | u32(times(p[1], k)) << 8 | u32(times(p[2], k)) << 16 | 0xFF000000u;
            }
        }
        d.finished = int(info.output_scanline) >= d.height;
    }
    d.rowsComplete = int(info.output_scanline);
    const double rows = double(info.output_scanline) / d.height;
    if (!buffered) d.progress = rows;
    else if (outputStarted) d.progress = 0.8 + 0.2 * rows;
    else d.progress = 0.8 * double(bytes.size() - info.src->bytes_in_buffer) / double(bytes.size());
    return true;
}

}  // namespace

std::unique_ptr<RowDecoder> startJpegRows(Bytes bytes, std::string& error) {
    auto r = std::make_shared<JpegReader>();
    r->bytes = std::move(bytes);
    return startReader(std::move(r), error);
}
