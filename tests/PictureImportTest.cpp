#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "app/App.h"
#include "import/PictureImport.h"
#include "platform/Platform.h"
#include "tests/TempDir.h"

namespace {

Bytes readAll(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A 64x40 picture of 16 flat colours, so every format can hold it exactly.
std::vector<u32> testPicture() {
    Palette pal;
    std::vector<u32> px(64 * 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x) px[y * 64 + x] = pal.pixel((x / 8 + y / 5 * 3) % 16);
    return px;
}

std::vector<u32> screenOf(const std::vector<u32>& px, int w, int h) {
    return ColorReducer::Resize(px.data(), w, h, 320, true, false);
}

// Each kind written by ImageMagick decodes to the same screen; a cut or
// damaged file of each kind is refused with the reason.
TEST(PictureImport, DecodesWhatImageMagickWrites) {
    TempDir dir;
    const std::vector<u32> pic = testPicture();
    const auto png = dir.path / "pic.png";
    ASSERT_TRUE(stbi_write_png(png.c_str(), 64, 40, 4, pic.data(), 64 * 4));
    const std::vector<u32> want = screenOf(pic, 64, 40);
    struct Case {
        const char* ext;
        int tolerance;
    } cases[] = {{"png", 0}, {"bmp", 0}, {"gif", 0}, {"tga", 0}, {"psd", 0}, {"jpg", 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        const auto file = dir.path / (std::string("out.") + c.ext);
        // This ImageMagick writes the rows of a bottom-up TGA top first: ask for top-down.
        std::string cmd = "/usr/bin/convert " + png.string() + " -alpha off -orient TopLeft " + file.string();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Bytes bytes = readAll(file);
        std::vector<u32> px;
        int w = 0, h = 0;
        std::string error;
        ASSERT_TRUE(decodePicture(bytes, px, w, h, error)) << error;
        ASSERT_EQ(w, 64);
        ASSERT_EQ(h, 40);
        std::vector<u32> got = screenOf(px, w, h);
        for (size_t i = 0; i < got.size(); ++i)
            for (int k = 0; k < 32; k += 8)
                ASSERT_LE(std::abs(int(got[i] >> k & 255) - int(want[i] >> k & 255)), c.tolerance) << i;

        Bytes cut(bytes.begin(), bytes.begin() + long(bytes.size() / 2));
        Bytes bad = bytes;
        for (size_t i = 0; i < 4; ++i) bad[i] ^= 0x5A;
        for (const Bytes& b : {cut, bad, Bytes{}}) {
            error.clear();
            EXPECT_FALSE(decodePicture(b, px, w, h, error));
            EXPECT_FALSE(error.empty());
        }
    }
}

// A PNG header of the given size, nothing after it.
Bytes pngHeader(u32 w, u32 h) {
    Bytes b = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (u32 v : {w, h})
        for (int s = 24; s >= 0; s -= 8) b.push_back(u8(v >> s));
    for (u8 v : {8, 6, 0, 0, 0, 0, 0, 0, 0}) b.push_back(v);
    return b;
}

TEST(PictureImport, OpenAcceptUndo) {
    TempDir dir;
    setenv("APPDATA", dir.path.c_str(), 1);
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
    Platform::initWithBasePath("");
    auto app = std::make_unique<App>();
    ImportPicState& s = importPicState();

    const std::vector<u32> pic = testPicture();
    Bytes png;
    stbi_write_png_to_func(
        [](void* ctx, void* data, int size) {
            auto* out = static_cast<Bytes*>(ctx);
            out->insert(out->end(), static_cast<u8*>(data), static_cast<u8*>(data) + size);
        },
        &png, 64, 40, 4, pic.data(), 64 * 4);

    // Refused pictures change nothing: too large (from the header alone), cut, not a picture.
    for (const Bytes& b : {pngHeader(20000, 10), pngHeader(10000, 10000), Bytes(png.begin(), png.begin() + 100),
                           Bytes(100, 7)}) {
        openImportPicture(*app, "bad.png", b);
        ASSERT_EQ(app->popups.size(), 1u);
        EXPECT_EQ(app->popups[0].title, "Error");
        EXPECT_EQ(app->popups[0].text.rfind("Couldn't read the image: ", 0), 0u);
        app->popups.clear();
        EXPECT_FALSE(app->showImportPicture);
        EXPECT_TRUE(s.pixels.empty());
    }
    openImportPicture(*app, "pic.png", png);
    EXPECT_TRUE(app->showImportPicture);
    EXPECT_EQ(s.name, "pic.png");

    const Bytes before(app->machine.ram, app->machine.ram + 65536);
    for (int mode : {1, 0, 2}) {
        importPictureForTest(mode, true);
        recomputeImport(*app, s);
        acceptImport(*app, s);
        EXPECT_FALSE(app->showImportPicture);
        EXPECT_EQ(app->undoBuffer.undoName(), "import image");
        EXPECT_EQ(app->machine.gfxMode(), mode == 2 ? 0 : mode == 1 ? 4 : 3);
        EXPECT_EQ(app->machine.ram[app->machine.screenAddr() + 999],
                  mode == 2 ? s.converter.screen[999] : mode == 0 ? s.reducer.cellColors[39][24][1] << 4 | s.reducer.cellColors[39][24][0]
                                                                  : s.reducer.cellColors[39][24][0] << 4 | s.reducer.cellColors[39][24][1]);
    }
    for (int i = 0; i < 3; ++i) app->undoBuffer.MakeUndo();
    EXPECT_EQ(Bytes(app->machine.ram, app->machine.ram + 65536), before);
    app.reset();
    unsetenv("APPDATA");
    unsetenv("VORLIX_ASSETS");
    Platform::initWithBasePath("");
}

}  // namespace
