#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/Compat.h"
#include "platform/FileIO.h"
#include "tests/gui/HeadlessGui.h"

namespace fs = std::filesystem;

namespace {

// Dear ImGui runs without a window here: frames are built and thrown away.
class FileDialogTest : public testing::Test {
protected:
    HeadlessGui gui;
    fs::path root;

    void SetUp() override {
        root = fs::path(testing::TempDir()) / ("vorlix_filedialog_" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        FileIO::cancel();
        fs::remove_all(root);
    }
    bool popupShown = false;

    void frame(const std::function<void()>& before = {}, int key = -1) {
        ImGuiIO& io = ImGui::GetIO();
        io.DeltaTime = 1.0f / 60.0f;
        if (key >= 0) io.KeysDown[key] = true;
        ImGui::NewFrame();
        if (before) before();
        FileIO::draw();
        // Looked up at the same ID stack level as the dialog's own.
        popupShown = ImGui::IsPopupOpen("##filedialog");
        ImGui::Render();
        if (key >= 0) io.KeysDown[key] = false;
    }
    bool showing() {
        frame();
        return popupShown;
    }
    // Centre of row i of the listing, as laid out in the last frame.
    ImVec2 row(int i) {
        for (ImGuiWindow* w : ImGui::GetCurrentContext()->Windows) {
            if (std::string(w->Name).find("##files") == std::string::npos) continue;
            float pitch = ImGui::GetTextLineHeight() + ImGui::GetStyle().ItemSpacing.y;
            return ImVec2(w->DC.CursorStartPos.x + 20, w->DC.CursorStartPos.y + pitch * float(i) + pitch * 0.4f);
        }
        ADD_FAILURE() << "no listing";
        return ImVec2(0, 0);
    }
    void mouse(ImVec2 at, bool down) {
        ImGui::GetIO().MousePos = at;
        ImGui::GetIO().MouseDown[0] = down;
        frame();
    }
};

// Escape cancels; a file accepted from outside the window closes the popup too.
TEST_F(FileDialogTest, OpensAndEitherEndClosesThePopup) {
    std::ofstream(root / "f.prg") << "ab";
    for (bool escape : {true, false}) {
        std::string got = "none";
        FileIO::open("Load", {}, [&](const std::string& n, std::vector<uint8_t>&) { got = n; });
        frame();
        EXPECT_FALSE(FileIO::dialog().openPending);
        ASSERT_TRUE(showing());
        if (escape) {
            frame({}, Compat::Key(Compat::Key_Escape));
        } else {
            FileIO::dialog().dir = root.string();
            std::snprintf(FileIO::dialog().name, sizeof FileIO::dialog().name, "f.prg");
            FileIO::accept();
        }
        EXPECT_FALSE(FileIO::dialog().open);
        EXPECT_EQ(got, escape ? "none" : "f.prg");
        EXPECT_FALSE(showing()) << escape;
    }
}

TEST_F(FileDialogTest, WaitsForAnotherModal) {
    bool other = true;
    auto otherPopup = [&] {
        if (other && !ImGui::IsPopupOpen("Other")) ImGui::OpenPopup("Other");
        if (ImGui::BeginPopupModal("Other")) {
            if (!other) ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
        }
    };
    frame(otherPopup);
    FileIO::open("Load", {}, nullptr);
    frame(otherPopup);
    frame(otherPopup);
    EXPECT_TRUE(FileIO::dialog().openPending);
    other = false;
    frame(otherPopup);
    frame(otherPopup);
    EXPECT_FALSE(FileIO::dialog().openPending);
    EXPECT_TRUE(showing());
}

TEST_F(FileDialogTest, ListingFollowsTheDirectoryAboutOnceASecond) {
    for (int i = 0; i < 50; ++i) std::ofstream(root / ("f" + std::to_string(i) + ".prg")) << "x";
    fs::create_directory(root / "sub");
    FileIO::open("Load", {{"PRG", {"prg"}}}, nullptr);
    FileIO::dialog().dir = root.string();
    for (int i = 0; i < 5; ++i) frame();
    EXPECT_TRUE(FileIO::dialog().open);
    EXPECT_TRUE(FileIO::dialog().error.empty());
    // A file made while the dialog shows is listed within about a second (not
    // by reading the directory every frame): first of the files, right after [sub].
    std::ofstream(root / "0new.prg") << "x";
    ImVec2 at = row(1);
    for (const char* expected : {"f0.prg", "0new.prg"}) {
        for (int i = 0; i < 35; ++i) frame();  // past the double-click time
        mouse(at, true);
        mouse(at, false);
        EXPECT_STREQ(FileIO::dialog().name, expected);
    }
}

TEST_F(FileDialogTest, DoubleClickOnADirectoryActsOnce) {
    fs::create_directory(root / "sub");
    fs::create_directory(root / "sub" / "deeper");
    std::ofstream(root / "sub" / "a.prg") << "ab";
    std::ofstream(root / "sub" / "deeper" / "b.prg") << "cd";
    std::string got;
    FileIO::open("Load", {}, [&](const std::string& n, std::vector<uint8_t>&) { got = n; });
    FileIO::dialog().dir = root.string();
    frame();
    ASSERT_TRUE(showing());
    ImVec2 first = row(0);  // [sub]
    mouse(first, false);
    mouse(first, true);
    mouse(first, false);  // the click enters sub
    ASSERT_EQ(fs::path(FileIO::dialog().dir), root / "sub");
    // The second press of the double click lands on [deeper] in the new listing.
    mouse(first, true);
    mouse(first, false);
    EXPECT_EQ(fs::path(FileIO::dialog().dir), root / "sub");
    EXPECT_TRUE(FileIO::dialog().open);
    EXPECT_EQ(got, "");

    // A double click on a file still opens it.
    for (int i = 0; i < 30; ++i) frame();
    ImVec2 file = row(1);  // a.prg
    mouse(file, true);
    mouse(file, false);
    mouse(file, true);
    mouse(file, false);
    EXPECT_EQ(got, "a.prg");
    EXPECT_FALSE(FileIO::dialog().open);
}

}  // namespace
