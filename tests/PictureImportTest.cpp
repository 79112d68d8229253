#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <fstream>

#include "core/Palette.h"
#include "import/PictureImport.h"
#include "tests/TempDir.h"

namespace {

// A PNG header of the given size, nothing after it.
Bytes pngHeader(u32 w, u32 h) {
    Bytes b = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (u32 v : {w, h})
        for (int s = 24; s >= 0; s -= 8) b.push_back(u8(v >> s));
    for (u8 v : {8, 6, 0, 0, 0, 0, 0, 0, 0}) b.push_back(v);
    return b;
}

// Each kind written by ImageMagick decodes to the same screen (JPEG nearly);
// a cut or damaged file of each kind is refused with a reason.
TEST(PictureImport, DecodesWhatImageMagickWrites) {
    TempDir dir;
    Palette pal;
    std::vector<u32> pic(64 * 40);  // 16 flat colours, so every kind holds it exactly
    for (int i = 0; i < 64 * 40; ++i) pic[i] = pal.pixel((i % 64 / 8 + i / 320 * 3) % 16);
    const auto png = dir.path / "pic.png";
    ASSERT_TRUE(stbi_write_png(png.c_str(), 64, 40, 4, pic.data(), 64 * 4));
    const std::vector<u32> want = ColorReducer::Resize(pic.data(), 64, 40, 320, true, false);
    for (auto [ext, tolerance] : {std::pair{"png", 0}, {"bmp", 0}, {"gif", 0}, {"tga", 0}, {"psd", 0}, {"jpg", 12}}) {
        SCOPED_TRACE(ext);
        const auto file = dir.path / (std::string("out.") + ext);
        // This ImageMagick writes the rows of a bottom-up TGA top first: ask for top-down.
        std::string cmd = "/usr/bin/convert " + png.string() + " -alpha off -orient TopLeft " + file.string();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::ifstream in(file, std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<u32> px;
        int w = 0, h = 0;
        std::string error;
        ASSERT_TRUE(decodePicture(bytes, px, w, h, error)) << error;
        ASSERT_EQ(w * 1000 + h, 64040);
        std::vector<u32> got = ColorReducer::Resize(px.data(), w, h, 320, true, false);
        for (size_t i = 0; i < got.size(); ++i)
            for (int k = 0; k < 24; k += 8)
                ASSERT_LE(std::abs(int(got[i] >> k & 255) - int(want[i] >> k & 255)), tolerance) << i;

        Bytes bad = bytes;
        for (size_t i = 0; i < 4; ++i) bad[i] ^= 0x5A;
        for (const Bytes& b : {Bytes(bytes.begin(), bytes.begin() + long(bytes.size() / 2)), bad, Bytes{}}) {
            error.clear();
            EXPECT_FALSE(decodePicture(b, px, w, h, error));
            EXPECT_FALSE(error.empty());
        }
    }
    // Too large, told by the header alone: nothing is decoded.
    for (const Bytes& b : {pngHeader(20000, 10), pngHeader(10000, 10000)}) {
        std::vector<u32> px;
        int w = 0, h = 0;
        std::string error;
        EXPECT_FALSE(decodePicture(b, px, w, h, error));
        EXPECT_NE(error.find("too large"), std::string::npos) << error;
    }
}

}  // namespace
