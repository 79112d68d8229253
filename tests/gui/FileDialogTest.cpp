#include <gtest/gtest.h>
#include <imgui.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/Compat.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace {

// Dear ImGui runs without a window here: frames are built and thrown away.
class FileDialogTest : public testing::Test {
protected:
    ImGuiContext* ctx = nullptr;
    fs::path root;

    void SetUp() override {
        ctx = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(1400, 900);
        io.IniFilename = nullptr;
        unsigned char* px = nullptr;
        int w = 0, h = 0;
        io.Fonts->GetTexDataAsRGBA32(&px, &w, &h);
        root = fs::path(testing::TempDir()) / "vorlix_filedialog";
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        FileIO::cancel();
        ImGui::DestroyContext(ctx);
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
};

TEST_F(FileDialogTest, OpensAndEscapeCancels) {
    bool called = false;
    FileIO::open("Load", {}, [&](const std::string&, std::vector<uint8_t>&) { called = true; });
    frame();
    EXPECT_FALSE(FileIO::dialog().openPending);
    EXPECT_TRUE(showing());
    frame({}, Compat::Key(Compat::Key_Escape));
    EXPECT_FALSE(FileIO::dialog().open);
    EXPECT_FALSE(showing());
    EXPECT_FALSE(called);
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

TEST_F(FileDialogTest, EndedOutsideTheWindowClosesThePopup) {
    std::ofstream(root / "f.prg") << "ab";
    std::string got;
    FileIO::open("Load", {}, [&](const std::string& n, std::vector<uint8_t>&) { got = n; });
    frame();
    ASSERT_TRUE(showing());
    FileIO::dialog().dir = root.string();
    std::snprintf(FileIO::dialog().name, sizeof FileIO::dialog().name, "f.prg");
    FileIO::accept();
    EXPECT_EQ(got, "f.prg");
    frame();
    EXPECT_FALSE(showing());
}

TEST_F(FileDialogTest, ListsAWholeDirectoryEveryFrame) {
    for (int i = 0; i < 50; ++i) std::ofstream(root / ("f" + std::to_string(i) + ".prg")) << "x";
    fs::create_directory(root / "sub");
    FileIO::open("Load", {{"PRG", {"prg"}}}, nullptr);
    FileIO::dialog().dir = root.string();
    for (int i = 0; i < 5; ++i) frame();
    EXPECT_TRUE(FileIO::dialog().open);
    EXPECT_TRUE(FileIO::dialog().error.empty());
}

}  // namespace
