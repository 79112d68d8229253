#pragma once
// The self-test runner: a list of steps, one at most per frame, with checks
// counted and reported on standard output.
#include <imgui.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "selftest/AutoTestMode.h"

struct App;

namespace AutoTest {

struct Step {
    std::string name;
    int wait;  // frames to let pass before the next step
    std::function<void(App&)> action;
};

// Builds the script and prints its size; call once after the App exists.
void init(App& app);
// Per frame, after the back end's new frame and before ImGui::NewFrame.
void inject(App& app);
// A screenshot due at the end of this frame, or empty; taking it clears it.
std::string screenshotPath();
// Once the script is done: prints the summary, sets the exit code, true.
bool finished(int& exitCode);

// Builders of the script.
void add(const std::string& name, int wait, std::function<void(App&)> action);
void shot(const std::string& name, int wait);
void drag(const std::string& name, std::vector<std::pair<int, int>> points, int button);
void chord(const std::string& name, ImGuiKey key, bool ctrl, bool shift, bool alt);
std::string tempPath(const char* name);
void check(bool ok, const char* text);
// The synthetic mouse onto the screen position of C64 pixel (x, y).
void moveMouseTo(App& app, int x, int y);
// Ends the script after the running step.
void markDone();
size_t stepCount();

}  // namespace AutoTest
