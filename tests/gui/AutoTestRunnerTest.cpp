#include <gtest/gtest.h>
#include <imgui.h>

#include <SDL_scancode.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/Compat.h"
#include "platform/Platform.h"
#include "selftest/AutoTest.h"
#include "tests/TempDir.h"
#include "tests/gui/HeadlessGui.h"

namespace {

TEST(AutoTest, SwitchAndScratchPaths) {
    struct Case {
        const char* value;
        bool on;
    };
    for (Case c : std::vector<Case>{{nullptr, false}, {"", false}, {"0", false}, {"00", true},
                                    {"0x", true}, {"1", true}, {"yes", true}})
        EXPECT_EQ(AutoTest::switchedOn(c.value), c.on) << (c.value ? c.value : "(unset)");

    struct Env {
        const char *tmpdir, *temp, *tmp, *expected;
    };
    for (Env e : std::vector<Env>{{nullptr, nullptr, nullptr, "/tmp/vorlix_autotest_drop.prg"},
                                  {"", "/t2", nullptr, "/t2/vorlix_autotest_drop.prg"},
                                  {"/t1", "/t2", "/t3", "/t1/vorlix_autotest_drop.prg"},
                                  {nullptr, "", "/t3", "/t3/vorlix_autotest_drop.prg"}}) {
        const char* names[] = {"TMPDIR", "TEMP", "TMP"};
        const char* values[] = {e.tmpdir, e.temp, e.tmp};
        for (int i = 0; i < 3; ++i) values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
        EXPECT_EQ(AutoTest::tempPath("drop.prg"), e.expected);
    }
    unsetenv("TEMP");
    unsetenv("TMP");
    unsetenv("TMPDIR");
}

// The runner drives a few builder steps through window-less GUI frames: the
// frames steps run in, the lines a failed check prints, the synthetic mouse
// and keys as the program's windows see them, and the end.
TEST(AutoTest, RunnerTimingChecksAndInput) {
    HeadlessGui gui;
    TempDir dir{"vorlix-autotest"};
    setenv("APPDATA", dir.path.c_str(), 1);
    Platform::initWithBasePath("");
    auto app = std::make_unique<App>();
    app->screenOriginX = 100;
    app->screenOriginY = 50;
    app->screenZoom = 2;

    int frame = 0;
    std::vector<std::pair<std::string, int>> ran;
    auto log = [&](const char* name) { return [&, name](App&) { ran.push_back({name, frame}); }; };
    AutoTest::add("first", 10, log("first"));
    AutoTest::add("second", 3, log("second"));
    AutoTest::add("check undo", 0, [](App&) {
        AutoTest::check(true, "not printed");
        AutoTest::check(false, "Ctrl+Alt+Z undid the drawing");
    });
    AutoTest::drag("tap", {{10, 20}}, 0);
    AutoTest::chord("undo", Compat::KeyLetterA + 25, true, false, true);
    AutoTest::add("after", 0, log("after"));
    ASSERT_EQ(AutoTest::stepCount(), 9u);

    struct Seen {
        ImVec2 mouse;
        bool button, ctrl, alt, z;
    };
    std::vector<Seen> seen;
    testing::internal::CaptureStdout();
    int exitCode = -1;
    for (frame = 1; frame < 60 && !AutoTest::finished(exitCode); ++frame) {
        AutoTest::inject(*app);
        Compat::ApplySynthInput();
        ImGui::NewFrame();
        ImGuiIO& io = ImGui::GetIO();
        seen.push_back({io.MousePos, io.MouseDown[0], io.KeyCtrl, io.KeyAlt,
                        ImGui::IsKeyDown(Compat::KeyLetter('Z'))});
        ImGui::Render();
    }
    int again = -1;
    EXPECT_TRUE(AutoTest::finished(again));
    std::string out = testing::internal::GetCapturedStdout();

    using Ran = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(ran, (Ran{{"first", 1}, {"second", 12}, {"after", 32}}));
    EXPECT_EQ(out, "AUTOTEST FAIL [check undo]: Ctrl+Alt+Z undid the drawing\n"
                   "AUTOTEST: 2 checks, 1 failures\n");
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(again, 1);
    // tap: move in frame 17, press in 20, release in 23; the chord is down in frames 26-28.
    ASSERT_GE(seen.size(), 30u);
    EXPECT_FLOAT_EQ(seen[16].mouse.x, 121);
    EXPECT_FLOAT_EQ(seen[16].mouse.y, 91);
    for (int f = 17; f <= 30; ++f) {
        const Seen& s = seen[f - 1];
        EXPECT_EQ(s.button, f >= 20 && f < 23) << f;
        bool chord = f >= 26 && f < 29;
        EXPECT_EQ(s.ctrl && s.alt && s.z, chord) << f;
        EXPECT_EQ(s.ctrl || s.alt || s.z, chord) << f;
    }
    unsetenv("APPDATA");
}

}  // namespace
