#pragma once
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/App.h"
#include "core/Machine.h"
#include "core/Palette.h"
#include "core/Vic.h"
#include "platform/Platform.h"

namespace Fuzz {

// Draws the whole screen, so every value a loader stored is read back the way the editor reads it.
inline void render(const Machine& m) {
    static Palette palette;
    static std::vector<u32> pixels(size_t(Vic::ScreenWidth) * Vic::ScreenHeight);
    Vic::renderScreen(m, palette, pixels.data(), Vic::ScreenWidth);
}

// The four corner cells only: enough where the loader alone decides what lands in memory.
inline void renderCorners(const Machine& m) {
    static Palette palette;
    static u32 pixels[8 * 8];
    for (auto [col, row] : {std::pair{0, 0}, {39, 0}, {0, 24}, {39, 24}}) Vic::renderCell(m, palette, col, row, pixels, 8);
}

// One application for the whole run, its settings in a private directory so no user file is touched.
inline App& app() {
    static App* a = [] {
        static std::string dir = "/tmp/vorlix-fuzz-" + std::to_string(getpid());
        setenv("APPDATA", dir.c_str(), 1);
        setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
        unsetenv("VORLIX_AUTOTEST");
        Platform::initWithBasePath("");
        return new App();
    }();
    a->popups.clear();
    return *a;
}

}  // namespace Fuzz
