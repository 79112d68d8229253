// The picture decoders on files the tests make, at both sizes and through both readers, beside ImageMagick.
#include <stb/stb_image_write.h>
#include <unistd.h>
#include <zlib.h>


#include "app/FileActions.h"
#include "core/ByteOrder.h"
#include "import/PictureImport.h"
#include "tests/ChildMemory.h"
#include "tests/FileTestSupport.h"

namespace {

void put32(Bytes& b, u32 v, bool big = true) {
    for (int i = 0; i < 4; ++i) b.push_back(u8(v >> (big ? 24 - 8 * i : 8 * i)));
}

Bytes chunk(const char* type, const Bytes& data) {
    Bytes c;
    put32(c, u32(data.size()));
    c.insert(c.end(), type, type + 4);
    c.insert(c.end(), data.begin(), data.end());
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    put32(c, u32(data.empty() ? crc : crc32(crc, data.data(), uInt(data.size()))));
    return c;
}

// A PNG of the given rows (filter bytes included), compressed in one stream, with a palette when given one.
Bytes png(int w, int h, u8 type, u8 depth, const Bytes& rows, const Bytes& palette = {}, bool interlaced = false) {
    Bytes ihdr, idat(compressBound(uLong(rows.size())));
    put32(ihdr, u32(w)), put32(ihdr, u32(h)), ihdr.insert(ihdr.end(), {depth, type, 0, 0, u8(interlaced)});
    uLongf n = uLongf(idat.size());
    compress2(idat.data(), &n, rows.data(), uLong(rows.size()), 1);
    idat.resize(n);
    Bytes b{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Bytes& c : {chunk("IHDR", ihdr), palette.empty() ? Bytes{} : chunk("PLTE", palette), chunk("IDAT", idat), chunk("IEND", {})})
        b.insert(b.end(), c.begin(), c.end());
    return b;
}

// Red grows across, green down, blue marks the top left: any turn or mirror shows.
std::vector<u32> picture(int w, int h) {
    std::vector<u32> p(size_t(w) * h);
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = u32(i % w * 255 / (w - 1)) | u32(i / w * 255 / (h - 1)) << 8 | (i % w < size_t(w / 3) && i / w < size_t(h / 3) ? 0xF0u : 0x28u) << 16 | 0xFF000000u;
    return p;
}

Bytes jpeg(int w, int h) {
    Bytes b;
    stbi_write_jpg_to_func(Actions::pngWrite, &b, w, h, 4, picture(w, h).data(), 95);
    return b;
}

// The bytes ImageMagick makes of these with its arguments, in the format of the extension (or of a prefix such as "bmp3:").
Bytes magick(const Bytes& in, const std::string& args, const std::string& ext, const std::string& prefix = "") {
    TempDir dir;
    writeBytes(dir.path / "in", in);
    const std::string to = (dir.path / ("out." + ext)).string();
    const std::string cmd = "/usr/bin/convert " + (dir.path / "in").string() + " " + args + " " + prefix + to + " 2>/dev/null";
    return std::system(cmd.c_str()) ? Bytes{} : readBytes(to);
}

// An Exif block as cameras write it, a maker entry before the orientation, put after the JPEG's start marker.
Bytes withExif(Bytes jpg, int orientation, bool big) {
    auto p16 = [&](Bytes& b, u32 v) { b.insert(b.end(), {u8(big ? v >> 8 : v), u8(big ? v : v >> 8)}); };
    Bytes e{0xFF, 0xE1, 0, 36, 'E', 'x', 'i', 'f', 0, 0, u8(big ? 'M' : 'I'), u8(big ? 'M' : 'I')};
    p16(e, 42), put32(e, 8, big), p16(e, 2);
    p16(e, 0x010F), p16(e, 2), put32(e, 4, big), e.insert(e.end(), {'C', 'a', 'm', 0});
    p16(e, 0x0112), p16(e, 3), put32(e, 1, big), p16(e, u32(orientation)), p16(e, 0), put32(e, 0, big);
    e[3] = u8(e.size() - 2);
    jpg.insert(jpg.begin() + 2, e.begin(), e.end());
    return jpg;
}

// The same BMP stored top row first.
Bytes topDown(Bytes b) {
    using ByteOrder::le16, ByteOrder::le32;
    const u32 at = le32(&b[10]), w = le32(&b[18]), h = le32(&b[22]), stride = (w * le16(&b[28]) + 31) / 32 * 4;
    for (u32 y = 0; y < h / 2; ++y) std::swap_ranges(&b[at + y * stride], &b[at + (y + 1) * stride], &b[at + (h - 1 - y) * stride]);
    for (int i = 0; i < 4; ++i) b[22 + i] = u8(-i32(h) >> (8 * i));
    return b;
}

struct Decoded {
    std::vector<u32> pixels;
    int w = 0, h = 0;
    std::string error;
    std::string outcome() const { return error.empty() ? std::to_string(w) + " x " + std::to_string(h) : error; }
};

Decoded whole(const Bytes& bytes) {
    Decoded d;
    if (!decodePicture(bytes, d.pixels, d.w, d.h, d.error)) d.pixels.clear();
    return d;
}

// Read a band of 32 rows at a time, no band handing on more rows than it read.
Decoded inBands(const Bytes& bytes) {
    Decoded out;
    std::unique_ptr<RowDecoder> d = startBandedDecode(bytes, out.error);
    for (int rows = 0; d && !d->finished; rows = d->rowsComplete) {
        if (!d->read(32)) return {{}, 0, 0, d->error};
        EXPECT_TRUE(d->rowsComplete >= rows && d->rowsComplete <= rows + 32) << rows << " then " << d->rowsComplete;
    }
    if (d) out = {std::move(d->pixels), d->width, d->height, ""};
    return out;
}

// One fault, one answer, whatever the size and whichever reader: a PNG without its end chunk, a GIF cut in its header
// and a JPEG whose scan is cut and closed with its end marker are cut short; lossless and differential JPEGs are a kind
// not read; compressed rows past the picture make it damaged. What is read is read as ImageMagick reads it: top-down
// BMPs, JPEGs turned upright by their Exif orientation, JPEGs with stray bytes before a marker (still read in bands).
TEST(PictureDecode, EachFileGetsOneAnswerAtEverySize) {
    struct Case {
        std::string what;
        Bytes bytes;
        std::string answer;
        const char* peer = nullptr;  // ImageMagick's arguments for the same picture, when it reads the file
    };
    std::vector<Case> cases;
    for (auto [w, h] : {std::pair{64, 40}, {2000, 1100}}) {
        const std::string size = std::to_string(w) + " x " + std::to_string(h), turned = std::to_string(h) + " x " + std::to_string(w);
        for (u8 depth : {8, 16}) {
            const Bytes p = png(w, h, 2, depth, Bytes(size_t(h) * (1 + 6 * w / (16 / depth))));
            cases.push_back({size + " PNG " + std::to_string(depth), p, size, ""});
            cases.push_back({size + " PNG without its end chunk", Bytes(p.begin(), p.end() - 12), "the file is cut short"});
        }
        Bytes bomb(size_t(h) * (1 + 4 * w) + (size_t(96) << 20));
        cases.push_back({size + " PNG bomb", png(w, h, 6, 8, bomb), "the file is damaged"});
        cases.push_back({size + " interlaced PNG bomb", png(w, h, 6, 8, bomb, {}, true), "the file is damaged"});

        const Bytes jpg = jpeg(w, h);
        for (const Bytes& j : {jpg, magick(jpg, "-interlace JPEG", "jpg")}) {
            Bytes closed(j.begin(), j.begin() + long(j.size() / 2));
            closed.insert(closed.end(), {0xFF, 0xD9});
            cases.push_back({size + " JPEG cut and closed", closed, "the file is cut short"});
        }
        const u8 frame[] = {0xFF, 0xC0};
        const size_t sof = size_t(std::search(jpg.begin(), jpg.end(), frame, frame + 2) - jpg.begin());
        for (u8 kind : {0xC3, 0xC5, 0xC6, 0xC7, 0xCB, 0xCD, 0xCE, 0xCF}) {
            Bytes k = jpg;
            k[sof + 1] = kind;
            cases.push_back({size + " JPEG SOF" + std::to_string(kind - 0xC0), k, "it uses a kind of JPEG the import does not read"});
        }
        for (const Bytes& stray : {Bytes{0x42}, Bytes{0x00, 0x17, 0xFF}}) {
            Bytes s = jpg;
            s.insert(s.begin() + long(sof), stray.begin(), stray.end());
            cases.push_back({size + " JPEG with stray bytes", s, size, ""});
        }
        for (int o = 1; o <= 8; ++o)
            if (w < 100 || o == 3 || o == 6)
                cases.push_back({size + " JPEG orientation " + std::to_string(o), withExif(jpg, o, o % 2), o >= 5 ? turned : size, "-auto-orient"});
        cases.push_back({size + " progressive JPEG orientation 6", withExif(magick(jpg, "-interlace JPEG", "jpg"), 6, false), turned, "-auto-orient"});
    }
    Bytes pic;
    stbi_write_png_to_func(Actions::pngWrite, &pic, 64, 40, 4, picture(64, 40).data(), 64 * 4);
    for (auto [args, format] : {std::pair{"-type Palette -compress None", "bmp3:"}, {"-type TrueColor", "bmp3:"}, {"-type TrueColorAlpha", "bmp:"}})
        cases.push_back({std::string("top-down BMP ") + args, topDown(magick(pic, args, "bmp", format)), "64 x 40", ""});
    const Bytes gif = magick(pic, "", "gif");
    for (long cut = 7; cut <= 12; ++cut) cases.push_back({"GIF cut at " + std::to_string(cut), Bytes(gif.begin(), gif.begin() + cut), "the file is cut short"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GT(c.bytes.size(), 6u);
        const Decoded d = whole(c.bytes);
        EXPECT_EQ(d.outcome(), c.answer);
        if (c.bytes[0] == 0x89 || c.bytes[0] == 0xFF) {
            const Decoded b = inBands(c.bytes);
            EXPECT_EQ(b.outcome(), c.answer);
            EXPECT_TRUE(b.pixels == d.pixels);
            EXPECT_TRUE(!d.error.empty() || decodesInBands(c.bytes) == (d.w * d.h > 1920 * 1080));
        }
        if (!c.peer) continue;
        const Decoded peer = whole(magick(c.bytes, c.peer, "png"));
        EXPECT_EQ(peer.outcome(), d.outcome());
        if (peer.pixels.size() != d.pixels.size()) continue;
        int worst = 0;
        for (size_t i = 0; i < d.pixels.size(); ++i)
            for (int k = 0; k < 24; k += 8) worst = std::max(worst, std::abs(int(d.pixels[i] >> k & 255) - int(peer.pixels[i] >> k & 255)));
        EXPECT_LE(worst, 1);
    }
    // Palette indices past the palette give black, at every size and on every reading.
    for (auto [w, h] : {std::pair{16, 16}, {2000, 1100}}) {
        Bytes rows(size_t(h) * (w + 1));
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = i % (w + 1) ? u8(i % (w + 1) * 7) : 0;
        const Bytes p = png(w, h, 3, 8, rows, {200, 10, 10, 10, 200, 10, 10, 10, 200});
        const Decoded d = whole(p);
        ASSERT_EQ(d.outcome(), std::to_string(w) + " x " + std::to_string(h));
        EXPECT_TRUE(d.pixels == whole(p).pixels && d.pixels == inBands(p).pixels);
        for (size_t i = 0; i < d.pixels.size(); ++i)
            ASSERT_EQ(d.pixels[i] == 0xFF000000u, rows[i / w * (w + 1) + 1 + i % w] >= 3) << i;
    }
}

// A bomb is refused holding little more than its picture: 8 rows of 100 pixels and 256 MB of rows past them.
TEST(PictureDecode, CompressedRowsPastThePictureTakeNoMemory) {
    const Bytes bomb = png(100, 8, 6, 8, Bytes(size_t(256) << 20));
    const long grown = peakGrowthInChild([&] { return whole(bomb).error == "the file is damaged"; });
    EXPECT_GE(grown, 0) << "not refused as damaged";
    EXPECT_LT(grown, 16 * 1024) << "kilobytes";
}

// Bytes of this process in memory.
long long residentBytes() {
    long long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lld %lld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// A progressive JPEG's coefficients (72 MB at 4000 x 3000 in full-size colour) go back at most 32 MB a release step
// once its rows are out, its pixels staying; all of them at once when its reading is given up part way.
TEST(PictureDecode, AProgressiveJpegsCoefficientsGoBackInPieces) {
    const Bytes prog = magick(jpeg(64, 48), "-resize 4000x3000! -interlace JPEG -sampling-factor 1x1 -quality 90", "jpg");
    ASSERT_FALSE(prog.empty());
    constexpr long long piece = 32ll << 20, blocks = 3ll * 500 * 375 * 128;
    std::string error;
    {
        const long long before = residentBytes();
        std::unique_ptr<RowDecoder> d = startJpegRows(prog, error);
        ASSERT_TRUE(d) << error;
        while (d->progress < 0.4) ASSERT_TRUE(d->read(8)) << d->error;
        EXPECT_GT(residentBytes() - before, blocks * 9 / 10);
        d.reset();
        EXPECT_LT(residentBytes() - before, 8ll << 20);
    }
    std::unique_ptr<RowDecoder> d = startJpegRows(prog, error);
    ASSERT_TRUE(d) << error;
    while (!d->finished) ASSERT_TRUE(d->read(64)) << d->error;
    std::vector<long long> handedBack;
    while (!d->released() && handedBack.size() < 100) {
        const long long r = residentBytes();
        d->release();
        handedBack.push_back(r - residentBytes());
    }
    EXPECT_GE(handedBack.size(), 3u);
    long long all = 0;
    for (long long b : handedBack) {
        EXPECT_LE(b, piece + (1 << 20));
        all += b;
    }
    EXPECT_GT(all, blocks * 9 / 10);
    EXPECT_TRUE(d->pixels == whole(prog).pixels);
}

}  // namespace
