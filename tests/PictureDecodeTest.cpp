// The picture decoders against files the tests write with libpng and libjpeg, and against ImageMagick.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <sys/resource.h>

#include "import/PictureImport.h"
#include "tests/FileTestSupport.h"

namespace {

// Tells a turned or mirrored picture from the upright one: red grows across, green down, blue marks the top left.
std::vector<u32> testPicture(int w, int h) {
    std::vector<u32> p(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[size_t(y) * w + x] = u32(x * 255 / std::max(1, w - 1)) | u32(y * 255 / std::max(1, h - 1)) << 8 |
                                   u32(x < w / 3 && y < h / 3 ? 240 : 40) << 16 | 0xFF000000u;
    return p;
}

void appendTo(png_structp png, png_bytep data, size_t n) {
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

// A PNG written by libpng: RGB at 8 or 16 bits, or, given a palette size, the pixels' low bytes as indices.
Bytes writePng(const std::vector<u32>& px, int w, int h, int depth, int paletteSize = 0) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendTo, nullptr);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, paletteSize ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {u8(i * 60), u8(200 - i * 50), u8(100 + i)};
    if (paletteSize) png_set_PLTE(png, info, palette, paletteSize);
    png_set_check_for_invalid_index(png, 0);  // indices past the palette are written as given
    png_write_info(png, info);
    std::vector<u8> row(size_t(w) * 6);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const u32 p = px[size_t(y) * w + x];
            for (int c = 0; c < 3; ++c) {
                if (paletteSize) row[size_t(x)] = u8(p);
                else if (depth == 8) row[size_t(x) * 3 + c] = u8(p >> (8 * c));
                else row[size_t(x) * 6 + c * 2] = row[size_t(x) * 6 + c * 2 + 1] = u8(p >> (8 * c));
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

void put16(Bytes& b, u32 v, bool big) {
    b.push_back(u8(big ? v >> 8 : v));
    b.push_back(u8(big ? v : v >> 8));
}

void put32(Bytes& b, u32 v, bool big) {
    put16(b, big ? v >> 16 : v & 0xFFFF, big);
    put16(b, big ? v & 0xFFFF : v >> 16, big);
}

// An Exif block as cameras write it: a maker entry, then the orientation.
Bytes exifBlock(int orientation, bool big) {
    Bytes b{'E', 'x', 'i', 'f', 0, 0};
    b.insert(b.end(), big ? std::initializer_list<u8>{'M', 'M', 0, 42} : std::initializer_list<u8>{'I', 'I', 42, 0});
    put32(b, 8, big);
    put16(b, 2, big);
    put16(b, 0x010F, big), put16(b, 2, big), put32(b, 4, big), b.insert(b.end(), {'C', 'a', 'm', 0});
    put16(b, 0x0112, big), put16(b, 3, big), put32(b, 1, big), put16(b, u32(orientation), big), put16(b, 0, big);
    put32(b, 0, big);
    return b;
}

// A JPEG written by libjpeg, RGB at full colour resolution; with an orientation, an Exif block that gives it.
Bytes writeJpeg(const std::vector<u32>& px, int w, int h, int orientation = 0, bool bigEndian = false,
                bool progressive = false) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    for (int i = 0; i < 3; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    if (orientation) {
        const Bytes exif = exifBlock(orientation, bigEndian);
        jpeg_write_marker(&c, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
    }
    std::vector<u8> row(size_t(w) * 3);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k) row[size_t(x) * 3 + k] = u8(px[size_t(c.next_scanline) * w + x] >> (8 * k));
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + size);
    std::free(mem);
    jpeg_destroy_compress(&c);
    return out;
}

Bytes chunk(const char* type, const Bytes& data) {
    Bytes c;
    put32(c, u32(data.size()), true);
    c.insert(c.end(), type, type + 4);
    c.insert(c.end(), data.begin(), data.end());
    put32(c, u32(crc32(crc32(0, reinterpret_cast<const Bytef*>(type), 4), data.data(), uInt(data.size()))), true);
    return c;
}

// A w x h RGBA PNG whose compressed rows go on for `extra` zero bytes past the picture, as a decompression bomb's do.
Bytes bombPng(int w, int h, size_t extra, bool interlaced = false) {
    Bytes ihdr;
    put32(ihdr, u32(w), true), put32(ihdr, u32(h), true), ihdr.insert(ihdr.end(), {8, 6, 0, 0, u8(interlaced)});
    Bytes idat(1 << 20);
    z_stream z{};
    deflateInit(&z, 1);
    const Bytes zeros(1 << 20);
    size_t left = size_t(h) * (1 + 4 * size_t(w)) + extra, used = 0;
    for (int flush = Z_NO_FLUSH; flush != Z_FINISH;) {
        const size_t piece = std::min(left, zeros.size());
        left -= piece;
        flush = left ? Z_NO_FLUSH : Z_FINISH;
        z.next_in = const_cast<Bytef*>(zeros.data());
        z.avail_in = uInt(piece);
        do {
            if (idat.size() - used < 65536) idat.resize(idat.size() * 2);
            z.next_out = idat.data() + used;
            z.avail_out = uInt(idat.size() - used);
            deflate(&z, flush);
            used = idat.size() - z.avail_out;
        } while (z.avail_in > 0 || (flush == Z_FINISH && z.avail_out == 0));
    }
    deflateEnd(&z);
    idat.resize(used);
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Bytes& c : {chunk("IHDR", ihdr), chunk("IDAT", idat), chunk("IEND", {})}) png.insert(png.end(), c.begin(), c.end());
    return png;
}

// The picture, its size, or the reason it is refused, by both readers: at once, and a band at a time.
struct Decoded {
    std::vector<u32> pixels;
    int w = 0, h = 0;
    std::string error;
};

Decoded decodeWhole(const Bytes& bytes) {
    Decoded d;
    if (!decodePicture(bytes, d.pixels, d.w, d.h, d.error)) d.pixels.clear();
    return d;
}

Decoded decodeBands(const Bytes& bytes) {
    Decoded d;
    if (!decodeAllRows(startBandedDecode(bytes, d.error), d.pixels, d.w, d.h, d.error)) d.pixels.clear();
    return d;
}

std::string outcome(const Decoded& d) {
    return d.error.empty() ? std::to_string(d.w) + " x " + std::to_string(d.h) : d.error;
}

Bytes cutBefore(Bytes b, size_t end) {
    b.resize(end);
    return b;
}

size_t find(const Bytes& b, std::initializer_list<u8> what, size_t from = 0) {
    return size_t(std::search(b.begin() + long(from), b.end(), what.begin(), what.end()) - b.begin());
}

// One fault gets one answer, whatever the picture's size and depth and whichever reader takes it: a PNG without its
// end chunk and a GIF cut inside its header are cut short; a JPEG whose scan is cut and closed with its end marker is
// cut short, not padded with grey; a lossless or differential JPEG is a kind not read; compressed rows that go on
// past the picture make the file damaged, and are not inflated to their end.
TEST(PictureDecode, EachFaultGetsOneAnswerAtEverySize) {
    struct Case {
        std::string what;
        Bytes bytes;
        std::string answer;
    };
    std::vector<Case> cases;
    for (auto [w, h] : {std::pair{64, 40}, {2000, 1100}}) {
        const std::string size = std::to_string(w) + " x " + std::to_string(h);
        const std::vector<u32> pic = testPicture(w, h);
        for (int depth : {8, 16}) {
            const Bytes png = writePng(pic, w, h, depth);
            cases.push_back({size + " PNG " + std::to_string(depth), png, size});
            cases.push_back({size + " PNG " + std::to_string(depth) + " without its end chunk", cutBefore(png, png.size() - 12),
                             "the file is cut short"});
        }
        for (bool progressive : {false, true}) {
            const Bytes jpg = writeJpeg(pic, w, h, 0, false, progressive);
            const std::string kind = size + (progressive ? " progressive" : " baseline");
            cases.push_back({kind + " JPEG", jpg, size});
            const size_t scan = find(jpg, {0xFF, 0xDA});
            Bytes closed = cutBefore(jpg, scan + (jpg.size() - scan) / 3);
            closed.insert(closed.end(), {0xFF, 0xD9});
            cases.push_back({kind + " JPEG cut and closed", closed, "the file is cut short"});
        }
        const Bytes jpg = writeJpeg(pic, w, h);
        for (u8 sof : {0xC3, 0xC5, 0xC6, 0xC7, 0xCB, 0xCD, 0xCE, 0xCF}) {
            Bytes kind = jpg;
            kind[find(kind, {0xFF, 0xC0}) + 1] = sof;
            cases.push_back({size + " JPEG SOF " + std::to_string(sof - 0xC0), kind,
                             "it uses a kind of JPEG the import does not read"});
        }
        cases.push_back({size + " PNG bomb", bombPng(w, h, size_t(96) << 20), "the file is damaged"});
    }
    cases.push_back({"interlaced PNG bomb", bombPng(64, 40, size_t(96) << 20, true), "the file is damaged"});
    TempDir dir;
    ASSERT_EQ(std::system(("/usr/bin/convert -size 64x40 gradient:red-blue " + (dir.path / "x.gif").string()).c_str()), 0);
    const Bytes gifBytes = readBytes(dir.path / "x.gif");
    for (size_t cut = 7; cut <= 12; ++cut)
        cases.push_back({"GIF cut at " + std::to_string(cut), cutBefore(gifBytes, cut), "the file is cut short"});

    for (const Case& c : cases) {
        const Decoded whole = decodeWhole(c.bytes);
        EXPECT_EQ(outcome(whole), c.answer) << c.what;
        if (c.what.find("GIF") == std::string::npos) {
            const Decoded bands = decodeBands(c.bytes);
            EXPECT_EQ(outcome(bands), c.answer) << c.what << " in bands";
            EXPECT_TRUE(bands.pixels == whole.pixels) << c.what;
        }
    }
}

// A bomb is refused holding little more than its picture: 8 rows of 100 pixels and 256 MB of rows past them.
TEST(PictureDecode, CompressedRowsPastThePictureTakeNoMemory) {
    const Bytes bomb = bombPng(100, 8, size_t(256) << 20);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        std::vector<u32> px;
        int w = 0, h = 0;
        std::string error;
        long grown = -1;
        if (!decodePicture(bomb, px, w, h, error)) {
            getrusage(RUSAGE_SELF, &after);
            grown = after.ru_maxrss - before.ru_maxrss;  // kilobytes
        }
        (void)!write(fds[1], &grown, sizeof grown);
        _exit(0);
    }
    long grown = -2;
    close(fds[1]);
    ASSERT_EQ(read(fds[0], &grown, sizeof grown), ssize_t(sizeof grown));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    EXPECT_GE(grown, 0) << "taken as a picture";
    EXPECT_LT(grown, 16 * 1024) << "kilobytes";
}

// Pixels whose palette indices lie past the palette are black, the same at every size and on every reading.
TEST(PictureDecode, PaletteIndicesPastThePaletteAreBlack) {
    for (auto [w, h] : {std::pair{16, 16}, {2000, 1100}}) {
        std::vector<u32> indices(size_t(w) * h);
        for (size_t i = 0; i < indices.size(); ++i) indices[i] = u32(i % 256);
        const Bytes png = writePng(indices, w, h, 8, 3);
        const Decoded whole = decodeWhole(png), again = decodeWhole(png), bands = decodeBands(png);
        ASSERT_EQ(outcome(whole), std::to_string(w) + " x " + std::to_string(h));
        EXPECT_TRUE(whole.pixels == again.pixels && whole.pixels == bands.pixels);
        size_t wrong = 0;
        for (size_t i = 0; i < indices.size(); ++i) wrong += indices[i] >= 3 && whole.pixels[i] != 0xFF000000u;
        EXPECT_EQ(wrong, 0u) << w;
    }
}

// A BMP stored top row first, at 8, 24 and 32 bits, reads as ImageMagick reads it and as the same picture stored
// bottom row first.
TEST(PictureDecode, TopDownBmpsAreRead) {
    TempDir dir;
    const int w = 64, h = 40;
    const std::vector<u32> pic = testPicture(w, h);
    for (int bits : {8, 24, 32}) {
        SCOPED_TRACE(bits);
        Decoded stored[2];
        for (bool topDown : {false, true}) {
            const u32 palette = bits == 8 ? 1024 : 0, stride = u32(w * bits / 8 + 3) / 4 * 4;
            Bytes b{'B', 'M'};
            put32(b, 54 + palette + stride * h, false), put32(b, 0, false), put32(b, 54 + palette, false);
            put32(b, 40, false), put32(b, w, false), put32(b, topDown ? u32(-h) : u32(h), false);
            put16(b, 1, false), put16(b, u32(bits), false);
            for (int i = 0; i < 6; ++i) put32(b, 0, false);
            for (u32 i = 0; i < palette / 4; ++i) put32(b, i * 0x010101u, false);
            for (int r = 0; r < h; ++r) {
                const int y = topDown ? r : h - 1 - r;
                const size_t start = b.size();
                for (int x = 0; x < w; ++x) {
                    const u32 p = pic[size_t(y) * w + x];
                    if (bits == 8) b.push_back(u8(p));
                    else b.insert(b.end(), {u8(p >> 16), u8(p >> 8), u8(p)});
                    if (bits == 32) b.push_back(0);
                }
                b.resize(start + stride);
            }
            stored[topDown] = decodeWhole(b);
            ASSERT_EQ(outcome(stored[topDown]), "64 x 40") << topDown;
            writeBytes(dir.path / "top.bmp", b);
        }
        EXPECT_TRUE(stored[0].pixels == stored[1].pixels);
        ASSERT_EQ(std::system(("/usr/bin/convert " + (dir.path / "top.bmp").string() + " -alpha off " +
                               (dir.path / "peer.png").string()).c_str()), 0);
        const Decoded peer = decodeWhole(readBytes(dir.path / "peer.png"));
        EXPECT_TRUE(peer.pixels == stored[1].pixels);
    }
}

// Every Exif orientation turns the picture upright as it is read, as ImageMagick's auto-orient does; the upright
// size is the picture's size. Read in bands, a turned picture still comes a band of rows at a time.
TEST(PictureDecode, JpegsAreTurnedUprightByTheirExifOrientation) {
    TempDir dir;
    const int w = 48, h = 32;
    const std::vector<u32> pic = testPicture(w, h);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const Bytes jpg = writeJpeg(pic, w, h, orientation, orientation % 2 == 0);
        writeBytes(dir.path / "o.jpg", jpg);
        ASSERT_EQ(std::system(("/usr/bin/convert " + (dir.path / "o.jpg").string() + " -auto-orient " +
                               (dir.path / "peer.png").string()).c_str()), 0);
        const Decoded ours = decodeWhole(jpg), peer = decodeWhole(readBytes(dir.path / "peer.png"));
        ASSERT_EQ(outcome(ours), orientation >= 5 ? "32 x 48" : "48 x 32");
        ASSERT_EQ(outcome(peer), outcome(ours));
        int worst = 0;
        for (size_t i = 0; i < ours.pixels.size(); ++i)
            for (int k = 0; k < 24; k += 8) worst = std::max(worst, std::abs(int(ours.pixels[i] >> k & 255) - int(peer.pixels[i] >> k & 255)));
        EXPECT_LE(worst, 2);
    }
    const std::vector<u32> big = testPicture(2000, 1100);
    for (int orientation : {3, 6}) {
        const Bytes jpg = writeJpeg(big, 2000, 1100, orientation);
        ASSERT_TRUE(decodesInBands(jpg));
        std::string error;
        std::unique_ptr<RowDecoder> d = startBandedDecode(jpg, error);
        ASSERT_TRUE(d) << error;
        int calls = 0, rows = 0;
        while (!d->finished) {
            ASSERT_TRUE(d->read(32)) << d->error;
            EXPECT_LE(d->rowsComplete - rows, 32);
            EXPECT_GE(d->rowsComplete, rows);
            rows = d->rowsComplete;
            ++calls;
        }
        EXPECT_GT(calls, 100);
        const Decoded whole = decodeWhole(jpg);
        EXPECT_EQ(d->width * 10000 + d->height, whole.w * 10000 + whole.h);
        EXPECT_TRUE(d->pixels == whole.pixels);
    }
}

// A stray byte before a JPEG's frame header is passed over, as the decoder passes it: the size is known from the
// header, so a large picture is still read in bands, and reads as it does without the byte.
TEST(PictureDecode, StrayBytesBetweenJpegMarkersArePassedOver) {
    const Bytes jpg = writeJpeg(testPicture(2000, 1100), 2000, 1100);
    for (Bytes stray : {Bytes{0x42}, Bytes{0x00, 0x17, 0xFF}}) {
        Bytes b = jpg;
        b.insert(b.begin() + long(find(b, {0xFF, 0xC0})), stray.begin(), stray.end());
        long long w = 0, h = 0;
        EXPECT_TRUE(pictureHeaderSize(b, w, h) && w == 2000 && h == 1100);
        EXPECT_TRUE(decodesInBands(b));
        EXPECT_TRUE(decodeBands(b).pixels == decodeWhole(jpg).pixels);
    }
}

}  // namespace
