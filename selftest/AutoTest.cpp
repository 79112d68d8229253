#include "selftest/AutoTest.h"

#include <cstdio>
#include <cstdlib>

#include "app/App.h"

namespace AutoTest {

namespace {

std::vector<Step> g_steps;
size_t g_next = 0;
int g_wait = 0;
std::string g_current;
bool g_done = false;
int g_checks = 0;
int g_failures = 0;
bool g_haveMouse = false;
float g_mouseX = 0, g_mouseY = 0;
std::string g_shot;
bool g_reported = false;

void setMouse(float x, float y) {
    g_mouseX = x;
    g_mouseY = y;
    g_haveMouse = true;
}

}  // namespace

void inject(App& app) {
    if (g_done) return;
    if (g_haveMouse) ImGui::GetIO().AddMousePosEvent(g_mouseX, g_mouseY);
    if (g_wait > 0) {
        --g_wait;
        return;
    }
    if (g_next >= g_steps.size()) {
        g_done = true;
        return;
    }
    const Step& step = g_steps[g_next++];
    g_current = step.name;
    bool hadMouse = g_haveMouse;
    float mx = g_mouseX, my = g_mouseY;
    step.action(app);
    // A step that moves the mouse takes effect in this frame.
    if (g_haveMouse && (!hadMouse || !(mx == g_mouseX) || !(my == g_mouseY)))
        ImGui::GetIO().AddMousePosEvent(g_mouseX, g_mouseY);
    g_wait = step.wait;
}

std::string screenshotPath() {
    std::string s;
    s.swap(g_shot);
    return s;
}

bool finished(int& exitCode) {
    if (!g_done) return false;
    exitCode = g_failures ? 1 : 0;
    if (g_reported) return true;
    g_reported = true;
    printf("AUTOTEST: %d checks, %d failures\n", g_checks, g_failures);
    fflush(stdout);
    return true;
}

void add(const std::string& name, int wait, std::function<void(App&)> action) {
    if (!action) return;
    g_steps.push_back(Step{name, wait, std::move(action)});
}

void shot(const std::string& name, int wait) {
    add("screenshot " + name, wait, [name](App&) {
        const char* dir = std::getenv("VORLIX_AUTOTEST_SHOTS");
        if (dir && *dir) g_shot = std::string(dir) + "/" + name + ".png";
    });
}

void moveMouseTo(App& app, int x, int y) {
    setMouse((x + 0.5f) * app.screenZoom + app.screenOriginX,
             (y + 0.5f) * app.screenZoom + app.screenOriginY);
}

void drag(const std::string& name, std::vector<std::pair<int, int>> points, int button) {
    if (points.empty()) return;
    auto move = [](std::pair<int, int> p) {
        return [p](App& app) { moveMouseTo(app, p.first, p.second); };
    };
    add(name + ": move", 2, move(points[0]));
    add(name + ": press", 2, [button](App&) { ImGui::GetIO().AddMouseButtonEvent(button, true); });
    for (size_t i = 1; i < points.size(); ++i) add(name + ": drag", 2, move(points[i]));
    add(name + ": release", 2, [button](App&) { ImGui::GetIO().AddMouseButtonEvent(button, false); });
}

void chord(const std::string& name, ImGuiKey key, bool ctrl, bool shift, bool alt) {
    add(name + ": down", 2, [=](App&) {
        if (ctrl) ImGui::GetIO().AddKeyEvent(ImGuiMod_Ctrl, true);
        if (alt) ImGui::GetIO().AddKeyEvent(ImGuiMod_Alt, true);
        if (shift) ImGui::GetIO().AddKeyEvent(ImGuiMod_Shift, true);
        ImGui::GetIO().AddKeyEvent(key, true);
    });
    add(name + ": up", 2, [=](App&) {
        ImGui::GetIO().AddKeyEvent(key, false);
        if (shift) ImGui::GetIO().AddKeyEvent(ImGuiMod_Shift, false);
        if (alt) ImGui::GetIO().AddKeyEvent(ImGuiMod_Alt, false);
        if (ctrl) ImGui::GetIO().AddKeyEvent(ImGuiMod_Ctrl, false);
    });
}

std::string tempPath(const char* name) {
    std::string dir = "/tmp";
    for (const char* v : {"TMPDIR", "TEMP", "TMP"}) {
        const char* s = std::getenv(v);
        if (s && *s) {
            dir = s;
            break;
        }
    }
    return dir + "/vorlix_autotest_" + name;
}

void check(bool ok, const char* text) {
    ++g_checks;
    if (ok) return;
    ++g_failures;
    printf("AUTOTEST FAIL [%s]: %s\n", g_current.c_str(), text);
    fflush(stdout);
}

void markDone() { g_done = true; }

size_t stepCount() { return g_steps.size(); }

}  // namespace AutoTest
