// The real program's frame time, run under Xvfb by `make bench`: main-thread CPU and wall time per frame
// beside the 3 ms budget, with every window open (zoom 8, grid on), and with the assembler window open on a
// source of a million lines (each case in a process of its own, as the program starts once per process).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "app/App.h"
#include "app/Program.h"

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

struct Case {
    const char* name;
    const char* title;
    std::function<void(App&)> setUp;
};
const Case kCases[] = {
    {"windows", "Frame with every window open, zoom 8, grid", openEveryWindow},
    {"assembler", "Frame with the assembler window on a 1M-line (20 MB) source, nothing changing", openLongSource},
};

int runCase(const Case& c) {
    // A settings file of its own, so no saved layout or window set is read.
    char dir[] = "/tmp/vorlix-frame-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("XDG_CONFIG_HOME", dir, 1);
    setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);

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
    std::filesystem::remove_all(dir);
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
    int failed = 0;
    for (const Case& c : kCases) {
        std::string command = "'";
        command.append(argv[0]).append("' ").append(c.name);
        failed += std::system(command.c_str()) != 0;
    }
    return failed ? 1 : 0;
}
