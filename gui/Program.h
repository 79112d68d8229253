#pragma once
#include <functional>

struct App;
struct SDL_Window;

// Lets a test drive the real program in-process.
struct ProgramHooks {
    // Called every frame after rendering, before the buffers are swapped (the
    // frame can be read back then); returning false ends the frame loop.
    std::function<bool(App&, int frame)> onFrame;
};

// Start-up, frame loop and shut-down; returns the process exit code.
int runProgram(const char* argv0, const ProgramHooks* hooks = nullptr);

// The main window while the program runs, else null.
SDL_Window* programWindow();
