// The real program's frame time with every window open (zoom 8, grid on), run under
// Xvfb by `make bench`: main-thread CPU and wall time per frame beside the 3 ms budget.
// Then the frames while an 8000 x 6000 PNG and JPEG open in the import window, beside
// the whole-file decode that used to take one frame.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include <fstream>
#include <iterator>
#include <tuple>
#include <vector>

#include "app/App.h"
#include "app/Program.h"
#include "import/ImportActions.h"
#include "import/PictureImport.h"

namespace {

double ms(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

constexpr int kSettle = 30, kTimed = 240;
constexpr double kBudgetMs = 3.0;

Bytes readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// One picture opened in the running program: its frames from the open until the first preview shows.
struct Opening {
    std::string label, path;
    Bytes bytes;
    double wholeMs = 0;  // the whole-file decode, timed once outside the frame loop
    int frames = 0;
    double longestWall = 0, longestCpu = 0;
};

}  // namespace

int main() {
    // A settings file of its own, so no saved layout or window set is read.
    char dir[] = "/tmp/vorlix-frame-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("XDG_CONFIG_HOME", dir, 1);
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);

    // The pictures, made by ImageMagick: a gradient with a disc.
    std::vector<Opening> openings;
    for (auto [kind, file, options] : {std::tuple{"PNG", "big.png", ""}, {"JPEG", "big.jpg", "-quality 90 "},
                                       {"progressive JPEG", "prog.jpg", "-quality 90 -interlace JPEG "}}) {
        Opening o;
        o.label = std::string("8000 x 6000 ") + kind;
        o.path = std::string(dir) + "/" + file;
        const std::string cmd = "/usr/bin/convert -size 8000x6000 gradient:red-blue -fill yellow -draw 'circle 4000,3000 "
                                "4000,600' -alpha off " + std::string(options) + o.path;
        if (std::system(cmd.c_str()) != 0) continue;
        o.bytes = readAll(o.path);
        std::vector<u32> px;
        int w = 0, h = 0;
        std::string error;
        const double t0 = ms(CLOCK_MONOTONIC);
        if (!decodePicture(o.bytes, px, w, h, error)) continue;
        o.wholeMs = ms(CLOCK_MONOTONIC) - t0;
        o.bytes.clear();
        openings.push_back(std::move(o));
    }

    double cpu = 0, wall = 0;
    size_t opening = 0;
    int openedAt = -1, doneAt = -1;
    double lastWall = 0, lastCpu = 0;
    ProgramHooks hooks;
    hooks.onFrame = [&](App& a, int frame) {
        if (frame > kSettle + kTimed) {
            // Each frame's time, measured from the end of the one before.
            const double nowWall = ms(CLOCK_MONOTONIC), nowCpu = ms(CLOCK_THREAD_CPUTIME_ID);
            Opening& o = openings[opening];
            if (openedAt >= 0) {
                ++o.frames;
                o.longestWall = std::max(o.longestWall, nowWall - lastWall);
                o.longestCpu = std::max(o.longestCpu, nowCpu - lastCpu);
                ImportPicState& s = a.ui.importPicture;
                if (doneAt < 0 && !importLoading(s) && !s.dirty) doneAt = frame;
                if (doneAt >= 0 && frame >= doneAt + 2) {
                    openedAt = doneAt = -1;
                    if (++opening == openings.size()) return false;
                }
            }
            lastWall = ms(CLOCK_MONOTONIC);
            lastCpu = ms(CLOCK_THREAD_CPUTIME_ID);
            if (openedAt < 0 && frame % 10 == 0) {
                // As the file dialog hands it over: read whole, then opened, counted in the next frame's time.
                openedAt = frame;
                openImportPicture(a, "big", readAll(openings[opening].path));
            }
            return true;
        }
        if (frame == 1) {
            for (bool App::*flag : {&App::showSecondView, &App::showSprites, &App::showSpriteEditor, &App::showRegisters,
                                    &App::showMonitor, &App::showCharset, &App::showCharEditor, &App::showBitmapMem,
                                    &App::showCalc, &App::showProcessor, &App::showAssembler, &App::showMountDisk,
                                    &App::showImportPicture, &App::showImportCharset, &App::showPreferences,
                                    &App::showAbout, &App::showHelp, &App::showCharsetConverter})
                a.*flag = true;
            a.showGrid = true;
            a.setZoom(8, -1, -1);
        } else if (frame == kSettle) {
            cpu = ms(CLOCK_THREAD_CPUTIME_ID);
            wall = ms(CLOCK_MONOTONIC);
        } else if (frame == kSettle + kTimed) {
            cpu = (ms(CLOCK_THREAD_CPUTIME_ID) - cpu) / kTimed;
            wall = (ms(CLOCK_MONOTONIC) - wall) / kTimed;
            // Only the import window stays open for the openings.
            for (bool App::*flag : {&App::showSecondView, &App::showSprites, &App::showSpriteEditor, &App::showRegisters,
                                    &App::showMonitor, &App::showCharset, &App::showCharEditor, &App::showBitmapMem,
                                    &App::showCalc, &App::showProcessor, &App::showAssembler, &App::showMountDisk,
                                    &App::showImportCharset, &App::showPreferences, &App::showAbout, &App::showHelp,
                                    &App::showCharsetConverter})
                a.*flag = false;
            a.ui.fileDialog.open = false;
            return !openings.empty();
        }
        return true;
    };
    const int code = runProgram("vorlix", &hooks);
    std::filesystem::remove_all(dir);
    if (code != 0 || cpu <= 0) {
        std::fprintf(stderr, "the program ended before the timed frames (exit code %d)\n", code);
        return 1;
    }
    std::printf("Frame with every window open, zoom 8, grid: %.3f ms main-thread CPU (budget %.1f ms, ratio %.2f), "
                "%.3f ms wall, over %d frames\n",
                cpu, kBudgetMs, cpu / kBudgetMs, wall, kTimed);
    for (const Opening& o : openings)
        std::printf("Opening an %s in the import window: %d frames to the first preview, longest %.1f ms wall, %.1f ms "
                    "main-thread CPU (limit 50 ms); the whole-file decode alone, once one frame's work: %.1f ms\n",
                    o.label.c_str(), o.frames, o.longestWall, o.longestCpu, o.wholeMs);
    return 0;
}
