// The real program started as a process, with settings in its environment.
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Returns the exit code; stderr goes into `err`.
int runVorlix(const std::string& env, const fs::path& dir, std::string& err) {
    int status = std::system(("env " + env + " " VORLIX_PROGRAM " 2>" + (dir / "stderr.txt").string()).c_str());
    std::ifstream in(dir / "stderr.txt");
    err.assign(std::istreambuf_iterator<char>(in), {});
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Started with an asset directory holding the character ROM only: no fonts, no icon.
TEST(Program, SnapshotRunWithoutFontsWritesPngAndSettings) {
    TempDir t;
    fs::create_directories(t.path / "assets");
    fs::copy_file(fs::path(VORLIX_ASSET_DIR) / "C64Chars.bin", t.path / "assets" / "C64Chars.bin");
    fs::path png = t.path / "snap.png";
    std::string err;
    ASSERT_EQ(runVorlix("XDG_CONFIG_HOME=" + t.path.string() + " APPDATA= VORLIX_ASSETS=" +
                            (t.path / "assets").string() + " VORLIX_SNAPSHOT=" + png.string(),
                        t.path, err),
              0)
        << err;
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(png.c_str(), &w, &h, &n, 3);
    ASSERT_TRUE(px && w == 1400 && h == 900);
    auto at = [&](int x, int y) { return px + (size_t(y) * w + x) * 3; };
    auto is = [&](int x, int y, int r, int g, int b) {
        return at(x, y)[0] == r && at(x, y)[1] == g && at(x, y)[2] == b;
    };
    // Light grey where nothing is drawn; the menu bar's labels dark on the light bar; the screen
    // area in the border colour, light blue of the default palette.
    int grey = 0, dark = 0, border = 0, probed = 0;
    for (int y = 0; y < h; y += 7)
        for (int x = 0; x < w; x += 7) grey += is(x, y, 240, 240, 240);
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 200; ++x) dark += std::max({at(x, y)[0], at(x, y)[1], at(x, y)[2]}) < 90;
    for (int x = 10; x < w - 10; x += 10) EXPECT_GT(at(x, 3)[0], 200) << x;
    for (int y = 100; y < 250; y += 3)
        for (int x = 100; x < 900; x += 3, ++probed) border += is(x, y, 0x7C, 0x70, 0xDA);
    stbi_image_free(px);
    EXPECT_GT(grey, 0);
    EXPECT_GT(dark, 40);
    EXPECT_GT(border, probed / 3);
    // Settings and layout are written at shut-down.
    EXPECT_TRUE(fs::exists(t.path / "vorlix" / "vorlix.ini"));
    EXPECT_TRUE(fs::exists(t.path / "vorlix" / "imgui.ini"));
}

// No video driver, or Mesa offering no context of the version the program asks for.
TEST(Program, VideoOrGlFailureExitsWithOne) {
    for (auto [env, text] : {std::pair{"SDL_VIDEODRIVER=no-such-driver", "SDL_Init failed: "},
                             {"MESA_GL_VERSION_OVERRIDE=2.1", "failed"}}) {
        TempDir t;
        std::string err;
        EXPECT_EQ(runVorlix("XDG_CONFIG_HOME=" + t.path.string() + " " + env + " VORLIX_SNAPSHOT=" +
                                (t.path / "x.png").string(),
                            t.path, err),
                  1)
            << env;
        EXPECT_NE(err.find(text), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(t.path / "x.png")) << env;
    }
}

}  // namespace
