// JPEG through libjpeg-turbo's scanlines, a band at a time. Its pixels may differ
// from other decoders' by a rounding step, which the reduction to 16 colours does
// not mind.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstring>

#include "core/ByteOrder.h"
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
    case JERR_ARITH_NOTIMPL:
    case JERR_SOF_UNSUPPORTED:
    case JERR_BAD_PRECISION: e->why = "it uses a kind of JPEG the import does not read"; break;
    default: e->why = "the file is damaged";
    }
    std::longjmp(e->jump, 1);
}

// Warnings pass, but the end of the data, or a marker in the middle of it (an end marker put after
// a cut), which the library would pad with grey, is a cut file.
void onMessage(j_common_ptr c, int level) {
    if (level == -1 && (c->err->msg_code == JWRN_JPEG_EOF || c->err->msg_code == JWRN_HIT_MARKER)) {
        reinterpret_cast<Errors*>(c->err)->why = "the file is cut short";
        std::longjmp(reinterpret_cast<Errors*>(c->err)->jump, 1);
    }
}

// Inverted CMYK as Adobe writes it (and the library gives YCCK), to RGB.
u8 times(int x, int y) {
    const int t = x * y + 128;
    return u8((t + (t >> 8)) >> 8);
}

// The orientation the file's first Exif block gives: 1 as stored, 2-8 mirrored or turned.
int exifOrientation(const jpeg_decompress_struct& info) {
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 || std::memcmp(m->data, "Exif\0\0", 6) != 0) continue;
        const u8* t = m->data + 6;
        const size_t n = m->data_length - 6;
        if (n < 8 || (std::memcmp(t, "II*\0", 4) != 0 && std::memcmp(t, "MM\0*", 4) != 0)) return 1;
        const bool le = t[0] == 'I';
        auto u16at = [&](size_t p) { return le ? ByteOrder::le16(t + p) : ByteOrder::be16(t + p); };
        const size_t ifd = le ? ByteOrder::le32(t + 4) : ByteOrder::be32(t + 4);
        if (ifd > n - 2) return 1;
        const size_t count = u16at(ifd);
        for (size_t i = 0, e = ifd + 2; i < count && e + 12 <= n; ++i, e += 12) {
            if (u16at(e) != 0x0112) continue;
            const u32 o = u16at(e + 2) == 3 ? u16at(e + 8) : 1;  // a SHORT, in the value field itself
            return o >= 1 && o <= 8 ? int(o) : 1;
        }
        return 1;
    }
    return 1;
}

// Where a pixel of the stored w x h picture lands in the upright one: at base + x * dx + y * dy.
struct Placement {
    std::ptrdiff_t base, dx, dy;
};

Placement placement(int orientation, std::ptrdiff_t w, std::ptrdiff_t h) {
    switch (orientation) {
    case 2: return {w - 1, -1, w};
    case 3: return {w * h - 1, -1, -w};
    case 4: return {(h - 1) * w, 1, -w};
    case 5: return {0, h, 1};
    case 6: return {h - 1, h, -1};
    case 7: return {w * h - 1, -h, -1};
    case 8: return {(w - 1) * h, -h, 1};
    default: return {0, 1, w};
    }
}

// A multi-scan file's coefficients, all of the picture at once (almost 300 MB for 8000 x 6000), held in
// memory of our own rather than the library's pools, whose release would take it back in one go, longer
// than a frame. Unmapped from the front a piece at a time once the rows are out.
struct BlockArray {
    JDIMENSION blocksPerRow = 0, rows = 0;
    u8* base = nullptr;             // mapped when the library realizes its arrays
    size_t size = 0, unmapped = 0;  // bytes
    JBLOCKROW* rowStarts = nullptr;  // in the library's image pool
};

// What one release step hands back: about 2 ms of unmapping touched pages.
constexpr size_t releasePiece = size_t(32) << 20;  // whole pages

// Rows of a turned picture gathered before they are placed, so that each upright row takes
// a run of pixels at a time.
constexpr int bandRows = 16;

struct JpegReader {
    Bytes bytes;
    Errors err{};
    jpeg_decompress_struct info{};
    bool created = false;
    bool buffered = false;  // several scans: all input is taken in before rows come out
    bool outputStarted = false;
    bool cmyk = false;
    int orientation = 1;
    int storedW = 0, storedH = 0;  // before orientation
    std::vector<u32> band;         // a turned picture's stored rows not yet placed
    int released = 0;              // a turned picture's upright rows handed on
    BlockArray blocks[MAX_COMPONENTS];  // the coefficients, one array a component
    int blockArrays = 0;
    void (*libraryRealize)(j_common_ptr) = nullptr;

    ~JpegReader() {
        if (created) jpeg_destroy_decompress(&info);
        for (int i = 0; i < blockArrays; ++i)
            if (blocks[i].unmapped < blocks[i].size) munmap(blocks[i].base + blocks[i].unmapped, blocks[i].size - blocks[i].unmapped);
    }
    // Unmaps up to a piece of the coefficients; false once none is left. Only once no more rows are read.
    bool releaseBlocks();
    // Both call the library, which leaves by longjmp: nothing in them has a destructor.
    bool open(RowDecoder& d);
    bool readRows(RowDecoder& d, int work);
    const char* reason() const { return err.why; }
    // Rows 1 (as stored) and 2 (mirrored) come out top first; the others land all over the picture.
    bool upright() const { return orientation <= 2; }
    void readRow(RowDecoder& d);
    void place(RowDecoder& d, int first, int end) const;
};

JpegReader& readerOf(j_common_ptr c) { return *static_cast<JpegReader*>(c->client_data); }

// The library's coefficient controller reaches its whole-picture arrays through these alone.
jvirt_barray_ptr requestBlocks(j_common_ptr c, int pool, boolean, JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION) {
    JpegReader& r = readerOf(c);
    if (pool != JPOOL_IMAGE) ERREXIT1(c, JERR_BAD_POOL_ID, pool);
    if (r.blockArrays == MAX_COMPONENTS) ERREXIT(c, JERR_OUT_OF_MEMORY);
    BlockArray& a = r.blocks[r.blockArrays++];
    a.blocksPerRow = blocksPerRow;
    a.rows = rows;
    return reinterpret_cast<jvirt_barray_ptr>(&a);
}

// Fresh anonymous pages are zero, as the arrays asked for zeroed must start.
void realizeBlocks(j_common_ptr c) {
    JpegReader& r = readerOf(c);
    r.libraryRealize(c);
    for (int i = 0; i < r.blockArrays; ++i) {
        BlockArray& a = r.blocks[i];
        if (a.rowStarts || a.rows == 0) continue;
        const size_t stride = size_t(a.blocksPerRow) * sizeof(JBLOCK);
        a.rowStarts = static_cast<JBLOCKROW*>(c->mem->alloc_small(c, JPOOL_IMAGE, a.rows * sizeof(JBLOCKROW)));
        if (stride > 0) {
            // Whole pages, so that every piece unmapped starts on one.
            const size_t page = size_t(sysconf(_SC_PAGESIZE));
            const size_t size = (stride * a.rows + page - 1) / page * page;
            void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p == MAP_FAILED) ERREXIT(c, JERR_OUT_OF_MEMORY);
            a.base = static_cast<u8*>(p);
            a.size = size;
        }
        for (JDIMENSION y = 0; y < a.rows; ++y) a.rowStarts[y] = reinterpret_cast<JBLOCKROW>(a.base + y * stride);
    }
}

JBLOCKARRAY accessBlocks(j_common_ptr c, jvirt_barray_ptr p, JDIMENSION first, JDIMENSION count, boolean) {
    BlockArray& a = *reinterpret_cast<BlockArray*>(p);
    if (!a.rowStarts || a.unmapped > 0 || size_t(first) + count > a.rows) ERREXIT(c, JERR_BAD_VIRTUAL_ACCESS);
    return a.rowStarts + first;
}

bool JpegReader::releaseBlocks() {
    bool any = false;
    for (size_t left = releasePiece; left > 0;) {
        BlockArray* a = std::find_if(blocks, blocks + blockArrays, [](const BlockArray& b) { return b.unmapped < b.size; });
        if (a == blocks + blockArrays) break;
        const size_t n = std::min(left, a->size - a->unmapped);
        munmap(a->base + a->unmapped, n);
        a->unmapped += n;
        left -= n;
        any = true;
    }
    return any;
}

void JpegReader::place(RowDecoder& d, int first, int end) const {
    const Placement p = placement(orientation, storedW, storedH);
    u32* out = d.pixels.data();
    const u32* in = band.data() - std::ptrdiff_t(first) * storedW;
    if (p.dx == 1 || p.dx == -1) {
        for (std::ptrdiff_t y = first; y < end; ++y)
            for (std::ptrdiff_t x = 0; x < storedW; ++x) out[p.base + x * p.dx + y * p.dy] = in[y * storedW + x];
    } else {
        for (std::ptrdiff_t x = 0; x < storedW; ++x)
            for (std::ptrdiff_t y = first; y < end; ++y) out[p.base + x * p.dx + y * p.dy] = in[y * storedW + x];
    }
}

bool JpegReader::open(RowDecoder& d) {
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onError;
    err.mgr.emit_message = onMessage;
    err.why = "the file is damaged";
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&info);
    created = true;
    info.client_data = this;
    info.mem->request_virt_barray = requestBlocks;
    libraryRealize = info.mem->realize_virt_arrays;
    info.mem->realize_virt_arrays = realizeBlocks;
    info.mem->access_virt_barray = accessBlocks;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
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
    orientation = exifOrientation(info);
    storedW = int(info.output_width);
    storedH = int(info.output_height);
    d.width = orientation >= 5 ? storedH : storedW;
    d.height = orientation >= 5 ? storedW : storedH;
    return true;
}

void JpegReader::readRow(RowDecoder& d) {
    const size_t w = size_t(storedW), y = info.output_scanline;
    u32* to;
    if (upright()) {
        if (d.pixels.size() < (y + 1) * w) d.pixels.resize((y + 1) * w);
        to = &d.pixels[y * w];
    } else {
        if (band.empty()) band.resize(w * bandRows);
        to = &band[y % bandRows * w];
    }
    JSAMPROW row = reinterpret_cast<JSAMPROW>(to);
    jpeg_read_scanlines(&info, &row, 1);
    if (cmyk) {
        for (size_t x = 0; x < w; ++x) {
            const u8* p = row + x * 4;
            const int k = p[3];
            to[x] = times(p[0], k) | u32(times(p[1], k)) << 8 | u32(times(p[2], k)) << 16 | 0xFF000000u;
        }
    }
    if (orientation == 2) std::reverse(to, to + w);
    if (!upright() && (y + 1 == size_t(storedH) || (y + 1) % bandRows == 0)) place(d, int(y - y % bandRows), int(y + 1));
}

bool JpegReader::readRows(RowDecoder& d, int work) {
    if (setjmp(err.jump)) return false;
    const size_t all = size_t(d.width) * size_t(d.height);
    for (int n = 0; n < work && !d.finished; ++n) {
        if (!upright() && d.pixels.size() < all) {
            // A turned picture's memory is made first, a row at a time, since its rows land all over it.
            d.pixels.resize(std::min(all, d.pixels.size() + size_t(d.width)));
            continue;
        }
        if (buffered && !outputStarted) {
            if (jpeg_consume_input(&info) == JPEG_REACHED_EOI) {
                jpeg_start_output(&info, info.input_scan_number);
                outputStarted = true;
            }
            continue;
        }
        if (int(info.output_scanline) < storedH) {
            readRow(d);
            d.finished = upright() && int(info.output_scanline) >= storedH;
            continue;
        }
        // A turned picture, all placed, is handed on a row at a time: what is made of its rows stays frame-sized.
        d.finished = ++released >= d.height;
    }
    const double rows = double(info.output_scanline) / storedH;
    double decoded = rows;
    if (buffered) decoded = outputStarted ? 0.8 + 0.2 * rows : 0.8 * double(bytes.size() - info.src->bytes_in_buffer) / double(bytes.size());
    if (upright()) {
        d.rowsComplete = int(info.output_scanline);
        d.progress = decoded;
    } else {
        d.rowsComplete = released;
        d.progress = 0.05 * double(d.pixels.size()) / double(all) + 0.9 * decoded + 0.05 * double(released) / d.height;
    }
    return true;
}

}  // namespace

std::unique_ptr<RowDecoder> startJpegRows(Bytes bytes, std::string& error) {
    auto r = std::make_shared<JpegReader>();
    r->bytes = std::move(bytes);
    JpegReader* reader = r.get();
    std::unique_ptr<RowDecoder> d = startReader(std::move(r), error);
    if (d) d->releasePiece = [reader] { return reader->releaseBlocks(); };
    return d;
}
