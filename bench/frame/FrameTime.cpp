// The real program's frame time, run under Xvfb by `make bench`: main-thread CPU and wall time per frame
// beside the 3 ms budget, with every window open (zoom 8, grid on), and with the assembler window open on a
// source of a million lines, and while an 8000 x 6000 PNG and JPEG open in the import window beside the
// whole-file decode and a plain read of the file, then keep-aspect and fit changes on the PNG beside a plain
// read of its pixels (each case in a process of its own, as the program starts once per process).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/App.h"
#include "app/ImportActions.h"
#include "gui/Program.h"
#include "import/PictureImport.h"
#include "platform/Platform.h"

namespace {

double ms(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

constexpr int kSettle = 30, kTimed = 240;
constexpr double kBudgetMs = 3.0;

void openEveryWindow(App& a) {
    for (bool App::*flag : {&App::showSecondView, &App::showSprites, &App::showSpriteEditor, &App::showRegisters,
                            &App::showMonitor, &App::showCharset, &App::showCharEditor, &App::showBitmapMem,
                            &App::showCalc, &App::showProcessor, &App::showAssembler, &App::showMountDisk,
                            &App::showImportPicture, &App::showImportCharset, &App::showPreferences,
                            &App::showAbout, &App::showHelp, &App::showCharsetConverter})
        a.*flag = true;
    a.showGrid = true;
    a.setZoom(8, -1, -1);
}

// A million lines of about 20 bytes, as a long program's source.
void openLongSource(App& a) {
    std::string s;
    s.reserve(21'000'000);
    for (int i = 0; i < 1'000'000; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "l%07d LDA $%04X,X\n", i, 0x0400 + i % 1000);
        s += line;
    }
    a.asmSource = std::move(s);
    a.showAssembler = true;
}

// A settings file of its own for one case, so no saved layout or window set is read; its pictures go there too.
struct CaseDir {
    char path[32] = "/tmp/vorlix-frame-XXXXXX";
    const bool made = mkdtemp(path) != nullptr;
    CaseDir() {
        setenv("XDG_CONFIG_HOME", path, 1);
        setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
    }
    ~CaseDir() {
        if (made) std::filesystem::remove_all(path);
    }
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Frames from a start until something is done: their wall and main-thread CPU times, each measured from the end
// of the frame before (the wall time includes the wait for the next refresh).
struct Span {
    std::vector<double> wall, cpu;
    double startMs = 0, doneMs = 0;
    int frames() const { return int(wall.size()); }
    double longest(const std::vector<double>& v) const { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
    void print(const char* what) const {
        std::printf("  %s: %d frames, %.0f ms; frame wall median %.1f ms, longest %.1f ms; main-thread CPU median "
                    "%.1f ms, longest %.1f ms (one refresh: 16.7 ms)\n",
                    what, frames(), doneMs - startMs, median(wall), longest(wall), median(cpu), longest(cpu));
    }
};

// One picture opened in the running program: its frames from the open until the first preview shows.
struct Opening {
    std::string label, path;
    double wholeMs = 0;  // the whole-file decode, timed once outside the frame loop
    double readMs = 0;   // a plain read of the whole file
    Span span;
};

// A placement option changed on the picture shown: its frames until the new preview shows.
struct Toggle {
    const char* label;
    bool ImportPicState::*option;
    Span span;
};

int runImportCase() {
    CaseDir dir;
    if (!dir.made) return 1;

    // The pictures, made by ImageMagick: a gradient with a disc; the PNG stored without compression (144 MB), so
    // that its file takes as long to read as a large photo's.
    std::vector<Opening> openings;
    for (auto [kind, file, options] : {std::tuple{"PNG", "big.png", "-depth 8 -define png:compression-level=0 "},
                                       {"JPEG", "big.jpg", "-quality 90 "},
                                       {"progressive JPEG", "prog.jpg", "-quality 90 -interlace JPEG "}}) {
        Opening o;
        o.label = std::string("8000 x 6000 ") + kind;
        o.path = std::string(dir.path) + "/" + file;
        const std::string cmd = "/usr/bin/convert -size 8000x6000 gradient:red-blue -fill yellow -draw 'circle 4000,3000 "
                                "4000,600' -alpha off " + std::string(options) + o.path;
        if (std::system(cmd.c_str()) != 0) continue;
        Bytes bytes;
        double t0 = ms(CLOCK_MONOTONIC);
        if (!Platform::readFile(o.path, bytes)) continue;
        o.readMs = ms(CLOCK_MONOTONIC) - t0;
        std::vector<u32> px;
        int w = 0, h = 0;
        std::string error;
        t0 = ms(CLOCK_MONOTONIC);
        if (!decodePicture(bytes, px, w, h, error)) continue;
        o.wholeMs = ms(CLOCK_MONOTONIC) - t0;
        openings.push_back(std::move(o));
    }
    // Toggled in turn on the last picture opened: each changes its placement to one not shown yet.
    std::vector<Toggle> toggles = {{"Keep aspect ratio on", &ImportPicState::keepAspect, {}},
                                   {"Zoom to fit off", &ImportPicState::zoomToFit, {}},
                                   {"Keep aspect ratio off", &ImportPicState::keepAspect, {}},
                                   {"Zoom to fit on", &ImportPicState::zoomToFit, {}}};
    double plainReadMs = 0;  // one read of the shown picture's pixels

    size_t opening = 0, toggle = 0;
    Span* timing = nullptr;
    int settledAt = -1;
    double lastWall = 0, lastCpu = 0;
    ProgramHooks hooks;
    hooks.onFrame = [&](App& a, int frame) {
        if (frame <= kSettle) {
            if (frame == 1) a.showImportPicture = true;
            if (frame == kSettle) a.ui.fileDialog.open = false;  // the window asks for a file when it opens empty
            return frame < kSettle || !openings.empty();
        }
        const double nowWall = ms(CLOCK_MONOTONIC), nowCpu = ms(CLOCK_THREAD_CPUTIME_ID);
        ImportPicState& s = a.ui.importPicture;
        if (timing) {
            timing->wall.push_back(nowWall - lastWall);
            timing->cpu.push_back(nowCpu - lastCpu);
            if (!importLoading(s) && !s.dirty) {
                timing->doneMs = nowWall;
                timing = nullptr;
                settledAt = frame;
            }
        }
        // The next frame's time starts here, so what the hook opens or changes below is counted in it.
        const auto startNext = [&] {
            lastWall = ms(CLOCK_MONOTONIC);
            lastCpu = ms(CLOCK_THREAD_CPUTIME_ID);
        };
        startNext();
        if (!timing && frame >= settledAt + 10) {
            if (opening < openings.size()) {
                // As the file dialog hands it over: opened, to be read across frames.
                timing = &openings[opening].span;
                timing->startMs = ms(CLOCK_MONOTONIC);
                openImportPictureFile(a, "big", Platform::startFileReading(openings[opening++].path));
            } else if (toggle < toggles.size()) {
                if (toggle == 0) {
                    // The reference, outside the timed frames: one read of the 192 MB of pixels.
                    const double t0 = ms(CLOCK_MONOTONIC);
                    const auto* p = reinterpret_cast<const unsigned long long*>(s.pixels.data());
                    unsigned long long a = 0, b = 0, c = 0, d = 0;
                    for (size_t i = 0; i + 4 <= s.pixels.size() / 2; i += 4)
                        a += p[i], b += p[i + 1], c += p[i + 2], d += p[i + 3];
                    plainReadMs = ms(CLOCK_MONOTONIC) - t0;
                    if (a + b + c + d == 1) std::printf(" ");
                }
                // As the checkbox does.
                startNext();
                timing = &toggles[toggle].span;
                timing->startMs = ms(CLOCK_MONOTONIC);
                s.*toggles[toggle++].option ^= true;
                s.dirty = true;
            } else {
                return false;
            }
        }
        return true;
    };
    const int code = runProgram("vorlix", &hooks);
    if (code != 0 || toggle < toggles.size()) {
        std::fprintf(stderr, "import: the program ended before the pictures opened (exit code %d)\n", code);
        return 1;
    }
    for (const Opening& o : openings) {
        std::printf("Opening an %s in the import window (the whole-file decode alone %.0f ms; a plain read of the "
                    "file %.1f ms)\n", o.label.c_str(), o.wholeMs, o.readMs);
        o.span.print("to the first preview");
    }
    std::printf("Placement changes on the 8000 x 6000 PNG (one plain read of its pixels: %.1f ms)\n", plainReadMs);
    for (const Toggle& t : toggles) t.span.print(t.label);
    std::fflush(stdout);
    return 0;
}

struct Case {
    const char* name;
    const char* title;
    std::function<void(App&)> setUp;  // null: the case runs on its own
};
const Case kCases[] = {
    {"windows", "Frame with every window open, zoom 8, grid", openEveryWindow},
    {"assembler", "Frame with the assembler window on a 1M-line (20 MB) source, nothing changing", openLongSource},
    {"import", "Opening large pictures in the import window", nullptr},
};

int runCase(const Case& c) {
    if (!c.setUp) return runImportCase();
    CaseDir dir;
    if (!dir.made) return 1;

    double cpu = 0, wall = 0;
    ProgramHooks hooks;
    hooks.onFrame = [&](App& a, int frame) {
        if (frame == 1) {
            c.setUp(a);
        } else if (frame == kSettle) {
            cpu = ms(CLOCK_THREAD_CPUTIME_ID);
            wall = ms(CLOCK_MONOTONIC);
        } else if (frame == kSettle + kTimed) {
            cpu = (ms(CLOCK_THREAD_CPUTIME_ID) - cpu) / kTimed;
            wall = (ms(CLOCK_MONOTONIC) - wall) / kTimed;
            return false;
        }
        return true;
    };
    const int code = runProgram("vorlix", &hooks);
    if (code != 0 || cpu <= 0) {
        std::fprintf(stderr, "%s: the program ended before the timed frames (exit code %d)\n", c.name, code);
        return 1;
    }
    std::printf("%s: %.3f ms main-thread CPU (budget %.1f ms, ratio %.2f), %.3f ms wall, over %d frames\n", c.title,
                cpu, kBudgetMs, cpu / kBudgetMs, wall, kTimed);
    std::fflush(stdout);
    return 0;
}

}  // namespace

// With a case's name, runs that case; without, runs each case in a process of its own.
int main(int argc, char** argv) {
    if (argc > 1) {
        for (const Case& c : kCases)
            if (std::strcmp(argv[1], c.name) == 0) return runCase(c);
        std::fprintf(stderr, "unknown case %s\n", argv[1]);
        return 2;
    }
    std::printf("Built as %s\n", VORLIX_BENCH_BUILD);
    std::fflush(stdout);
    int failed = 0;
    for (const Case& c : kCases) {
        std::string command = "'";
        command.append(argv[0]).append("' ").append(c.name);
        failed += std::system(command.c_str()) != 0;
    }
    return failed ? 1 : 0;
}
