// The real program started as a process, with settings in its environment.
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/FileTestSupport.h"

namespace fs = std::filesystem;

namespace {

// Started with an asset directory holding the character ROM only (no fonts, no icon), it writes its snapshot, its
// settings and its layout, the windows open from the last run docked; with no video driver, or Mesa offering no context of the version it asks for, it exits
// with 1 and writes nothing.
TEST(Program, SnapshotRunWithoutFontsAndVideoOrGlFailures) {
    const struct { const char *env, *error; int code; } rows[] = {{"", "", 0},
        {"SDL_VIDEODRIVER=no-such-driver", "SDL_Init failed: ", 1}, {"MESA_GL_VERSION_OVERRIDE=2.1", "failed", 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.env);
        TempDir t;
        fs::create_directories(t.path / "assets");
        fs::copy_file(fs::path(VORLIX_ASSET_DIR) / "C64Chars.bin", t.path / "assets" / "C64Chars.bin");
        const fs::path png = t.path / "snap.png", config = t.path / "vorlix";
        // From an earlier run: the monitor and the registers open.
        if (r.code == 0) {
            fs::create_directories(config);
            writeText(config / "vorlix.ini", "win.monitor=1\nwin.registers=1\n");
        }
        const std::string env = "XDG_CONFIG_HOME=" + t.path.string() + " APPDATA= VORLIX_ASSETS=" +
                                (t.path / "assets").string() + " VORLIX_SNAPSHOT=" + png.string() + " " + r.env;
        const int status = std::system(("env " + env + " " VORLIX_PROGRAM " 2>" + (t.path / "err.txt").string()).c_str());
        const std::string err = readText(t.path / "err.txt");
        EXPECT_TRUE((WIFEXITED(status) ? WEXITSTATUS(status) : -1) == r.code && err.find(r.error) != err.npos) << err;
        EXPECT_EQ(fs::exists(t.path / "vorlix" / "vorlix.ini") + fs::exists(t.path / "vorlix" / "imgui.ini"),
                  r.code ? 0 : 2);
        // The saved layout holds the dock space, with both windows docked in one node of it.
        const std::string layout = readText(config / "imgui.ini");
        auto dockId = [&](const char* name) {
            const size_t at = layout.find(std::string("[Window][") + name + "]");
            const size_t id = layout.find("DockId=", at), end = layout.find("\n\n", at);
            return at == layout.npos || id > end ? std::string() : layout.substr(id + 7, 10);
        };
        if (r.code == 0) {
            EXPECT_NE(layout.find("DockSpace"), layout.npos) << layout;
            EXPECT_TRUE(!dockId("Monitor").empty() && dockId("Monitor") == dockId("Registers")) << layout;
        }
        int w = 0, h = 0, n = 0;
        unsigned char* px = stbi_load(png.c_str(), &w, &h, &n, 3);
        ASSERT_EQ(px && w == 1400 && h == 900, r.code == 0);
        if (!px) continue;
        auto at = [&](int x, int y) { return px + (size_t(y) * w + x) * 3; };
        auto is = [&](int x, int y, int rgb) { return (at(x, y)[0] << 16 | at(x, y)[1] << 8 | at(x, y)[2]) == rgb; };
        // Light grey where nothing is drawn; the menu bar's labels dark on the light bar; the screen
        // area in the border colour, light blue of the default palette.
        int grey = 0, dark = 0, border = 0, probed = 0;
        for (int y = 0; y < h; y += 7)
            for (int x = 0; x < w; x += 7) grey += is(x, y, 0xF0F0F0);
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 200; ++x) dark += std::max({at(x, y)[0], at(x, y)[1], at(x, y)[2]}) < 90;
        for (int x = 10; x < w - 10; x += 10) EXPECT_GT(at(x, 3)[0], 200) << x;
        for (int y = 100; y < 250; y += 3)
            for (int x = 100; x < 900; x += 3, ++probed) border += is(x, y, 0x7C70DA);
        stbi_image_free(px);
        EXPECT_TRUE(grey > 0 && dark > 40 && border > probed / 3) << grey << " " << dark << " " << border;
    }
}

}  // namespace
