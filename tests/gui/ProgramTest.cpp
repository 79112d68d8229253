#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string err;
};

// Runs the real program with extra environment settings; stderr is captured.
RunResult runVorlix(const std::string& env, const fs::path& dir) {
    fs::path errFile = dir / "stderr.txt";
    std::string cmd = "env " + env + " " + VORLIX_PROGRAM + " 2>" + errFile.string();
    int status = std::system(cmd.c_str());
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
}

struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> px;
    const unsigned char* at(int x, int y) const { return &px[(size_t(y) * w + x) * 4]; }
};

Picture loadPng(const fs::path& p) {
    Picture pic;
    int n = 0;
    unsigned char* data = stbi_load(p.c_str(), &pic.w, &pic.h, &n, 4);
    if (data) {
        pic.px.assign(data, data + size_t(pic.w) * pic.h * 4);
        stbi_image_free(data);
    }
    return pic;
}

// Started with an asset directory holding the character ROM only: no fonts, no icon.
TEST(Program, SnapshotRunWithoutFontsWritesPngAndSettings) {
    TempDir t;
    fs::create_directories(t.path / "assets");
    fs::copy_file(fs::path(VORLIX_ASSET_DIR) / "C64Chars.bin", t.path / "assets" / "C64Chars.bin");
    fs::path png = t.path / "snap.png";
    RunResult r = runVorlix("XDG_CONFIG_HOME=" + t.path.string() + " APPDATA= VORLIX_ASSETS=" +
                                (t.path / "assets").string() + " VORLIX_SNAPSHOT=" + png.string(),
                            t.path);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Picture pic = loadPng(png);
    ASSERT_EQ(pic.w, 1400);
    ASSERT_EQ(pic.h, 900);
    // The window is cleared light grey where nothing is drawn.
    bool sawClearGrey = false;
    for (int y = 0; y < pic.h && !sawClearGrey; y += 7)
        for (int x = 0; x < pic.w; x += 7) {
            const unsigned char* p = pic.at(x, y);
            if (p[0] == 240 && p[1] == 240 && p[2] == 240) {
                sawClearGrey = true;
                break;
            }
        }
    EXPECT_TRUE(sawClearGrey);
    // The top rows are the menu bar: its labels are dark text on the light bar.
    int dark = 0;
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 200; ++x)
            if (pic.at(x, y)[0] < 90 && pic.at(x, y)[1] < 90 && pic.at(x, y)[2] < 90) ++dark;
    EXPECT_GT(dark, 40);
    for (int x = 10; x < pic.w - 10; x += 10) EXPECT_GT(pic.at(x, 3)[0], 200) << x;
    // The screen area shows the border colour, light blue of the default palette.
    int border = 0, probed = 0;
    for (int y = 100; y < 250; y += 3)
        for (int x = 100; x < 900; x += 3, ++probed) {
            const unsigned char* p = pic.at(x, y);
            if (p[0] == 0x7C && p[1] == 0x70 && p[2] == 0xDA) ++border;
        }
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
        RunResult r = runVorlix("XDG_CONFIG_HOME=" + t.path.string() + " " + env + " VORLIX_SNAPSHOT=" +
                                    (t.path / "x.png").string(),
                                t.path);
        EXPECT_EQ(r.exitCode, 1) << env;
        EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(t.path / "x.png")) << env;
    }
}

}  // namespace
