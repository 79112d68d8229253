// GUI pieces driven in frames of a window-less Dear ImGui context: frames are
// built and thrown away, input goes straight into io.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/App.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "selftest/AutoTest.h"
#include "tests/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct Headless {
    ImGuiContext* ctx = ImGui::CreateContext();
    TempDir dir{"vorlix-headless"};
    std::unique_ptr<App> app;
    bool dialogShown = false;  // at the end of the last frame

    Headless() {
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(1400, 900);
        io.DeltaTime = 1.0f / 60;
        io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;  // the atlas is made as used; nothing draws it
        setenv("APPDATA", dir.path.c_str(), 1);
        Platform::initWithBasePath("");
        app = std::make_unique<App>();
    }
    ~Headless() {
        unsetenv("APPDATA");
        ImGui::DestroyContext(ctx);
    }

    // One frame of the file dialog with `key` pressed in it.
    void frame(ImGuiKey key = ImGuiKey_None) {
        ImGuiIO& io = ImGui::GetIO();
        if (key != ImGuiKey_None) io.AddKeyEvent(key, true);
        ImGui::NewFrame();
        FileIO::draw(app->ui.fileDialog);
        dialogShown = ImGui::IsPopupOpen("##filedialog");
        ImGui::Render();
        if (key != ImGuiKey_None) io.AddKeyEvent(key, false);
    }
    void frames(int n) {
        while (n-- > 0) frame();
    }
    void click(ImVec2 at) {
        ImGui::GetIO().AddMousePosEvent(at.x, at.y);
        frame();
        for (bool down : {true, false}) {
            ImGui::GetIO().AddMouseButtonEvent(0, down);
            frame();
        }
    }
};

TEST(CharDescription, Codes) {
    const std::pair<int, const char*> rows[] = {{129, "rev. a"}, {160, "rev. space"}, {64, ""},    {192, ""},
                                                {1, "a"},        {65, "A"},           {28, "\xC2\xA3"}, {0, "@"},
                                                {63, "?"},       {48 + 128, "rev. 0"}};
    for (auto [code, text] : rows) EXPECT_EQ(Widgets::CharDescription(code), text) << code;
}

// Centre of row i of the file listing, as laid out in the last frame.
ImVec2 row(int i) {
    for (ImGuiWindow* w : ImGui::GetCurrentContext()->Windows) {
        if (std::string(w->Name).find("##files") == std::string::npos) continue;
        float pitch = ImGui::GetTextLineHeight() + ImGui::GetStyle().ItemSpacing.y;
        return ImVec2(w->DC.CursorStartPos.x + 20, w->DC.CursorStartPos.y + pitch * float(i) + pitch * 0.4f);
    }
    ADD_FAILURE() << "no listing";
    return ImVec2(0, 0);
}

TEST(FileDialog, ListingClicksAndEnds) {
    Headless h;
    const fs::path root = h.dir.path / "files";
    fs::create_directories(root / "sub" / "deeper");
    for (int i = 0; i < 50; ++i) std::ofstream(root / ("f" + std::to_string(i) + ".prg")) << "x";
    std::ofstream(root / "sub" / "a.prg") << "ab";
    std::string got;
    auto load = [&] {
        got = "none";
        FileIO::open(h.app->ui.fileDialog, "Load", {{"PRG", {"prg"}}}, [&](const std::string& n, std::vector<uint8_t>&) { got = n; });
        h.app->ui.fileDialog.dir = root.string();
    };
    load();
    h.frames(5);
    EXPECT_TRUE(h.dialogShown && h.app->ui.fileDialog.error.empty());
    // A file made while the dialog shows is listed within about a second, as the folder changed
    // (an unchanged one is not read again): first of the files, right after [sub].
    h.frames(35);  // past the double-click time
    h.click(row(1));
    EXPECT_STREQ(h.app->ui.fileDialog.name, "f0.prg");
    std::ofstream(root / "0new.prg") << "x";
    h.frames(65);
    h.click(row(1));
    EXPECT_STREQ(h.app->ui.fileDialog.name, "0new.prg");
    // A double click on a directory acts once: its second press lands on [deeper] in the new listing.
    h.frames(35);
    ImVec2 first = row(0);
    h.click(first);
    ASSERT_EQ(fs::path(h.app->ui.fileDialog.dir), root / "sub");
    h.click(first);
    EXPECT_TRUE(fs::path(h.app->ui.fileDialog.dir) == root / "sub" && h.app->ui.fileDialog.open);
    // A double click on a file opens it.
    h.frames(30);
    h.click(row(1));
    h.click(row(1));
    EXPECT_TRUE(got == "a.prg" && !h.app->ui.fileDialog.open) << got;
    // Escape cancels; a file accepted from outside the window takes the popup down too.
    for (bool escape : {true, false}) {
        load();
        h.frames(2);
        ASSERT_TRUE(h.dialogShown);
        if (escape) {
            h.frame(ImGuiKey_Escape);
        } else {
            std::snprintf(h.app->ui.fileDialog.name, sizeof h.app->ui.fileDialog.name, "f0.prg");
            FileIO::accept(h.app->ui.fileDialog);
        }
        h.frame();
        EXPECT_TRUE(!h.app->ui.fileDialog.open && got == (escape ? "none" : "f0.prg") && !h.dialogShown) << escape;
    }
}

TEST(AutoTest, SwitchAndScratchPaths) {
    const std::pair<const char*, bool> switches[] = {{nullptr, false}, {"", false},  {"0", false}, {"00", true},
                                                     {"0x", true},     {"1", true}, {"yes", true}};
    for (auto [value, on] : switches) EXPECT_EQ(AutoTest::switchedOn(value), on) << (value ? value : "(unset)");
    const char* names[] = {"TMPDIR", "TEMP", "TMP"};
    const struct { const char* values[3]; std::string expected; } envs[] = {
        {{nullptr, nullptr, nullptr}, "/tmp"}, {{"", "/t2", nullptr}, "/t2"}, {{"/t1", "/t2", "/t3"}, "/t1"},
        {{nullptr, "", "/t3"}, "/t3"}};
    for (const auto& e : envs) {
        for (int i = 0; i < 3; ++i) e.values[i] ? setenv(names[i], e.values[i], 1) : unsetenv(names[i]);
        EXPECT_EQ(AutoTest::tempPath("drop.prg"), e.expected + "/vorlix_autotest_drop.prg");
    }
    for (const char* n : names) unsetenv(n);
}

// The frames the runner's steps run in, a pointer move taking effect in its own step's frame, what a failed
// check prints, and the exit code. What the input does, the self-test run shows.
TEST(AutoTest, RunnerTimingAndFailures) {
    Headless h;
    h.app->screenOriginX = 100;
    h.app->screenOriginY = 50;
    h.app->screenZoom = 2;
    int frame = 0;
    std::vector<std::pair<std::string, int>> ran;
    auto log = [&](const char* name) { return [&, name](App&) { ran.push_back({name, frame}); }; };
    AutoTest::add("first", 10, log("first"));
    AutoTest::add("second", 3, [&](App& a) {
        log("second")(a);
        AutoTest::check(false, "failed");
    });
    AutoTest::drag("tap", {{10, 20}}, 0);
    AutoTest::add("after", 0, log("after"));
    std::vector<ImVec2> mouse;
    testing::internal::CaptureStdout();
    int exitCode = -1;
    for (frame = 1; frame < 60 && !AutoTest::finished(exitCode); ++frame) {
        AutoTest::inject(*h.app);
        ImGui::NewFrame();
        mouse.push_back(ImGui::GetIO().MousePos);
        ImGui::Render();
    }
    int again = -1;  // asked again: the same answer, the summary not printed twice
    EXPECT_TRUE(AutoTest::finished(again));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "AUTOTEST FAIL [second]: failed\nAUTOTEST: 1 checks, 1 failures\n");
    using Ran = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(ran, (Ran{{"first", 1}, {"second", 12}, {"after", 25}}));
    ASSERT_GE(mouse.size(), 16u);  // moved in frame 16
    EXPECT_EQ((std::vector<float>{mouse[15].x, mouse[15].y, float(exitCode), float(again)}),
              (std::vector<float>{121, 91, 1, 1}));
}

}  // namespace
