#include <gtest/gtest.h>
#include <imgui.h>

#include <SDL_scancode.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "app/App.h"
#include "app/Popups.h"
#include "platform/Platform.h"
#include "tests/TempDir.h"
#include "tests/gui/HeadlessGui.h"

namespace {

// Popups drawn in frames of a window-less GUI context; keys go straight into io.KeysDown.
class PopupsTest : public testing::Test {
protected:
    HeadlessGui gui;
    std::unique_ptr<App> app;
    TempDir dir{"vorlix-popups"};

    void SetUp() override {
        setenv("APPDATA", dir.path.c_str(), 1);
        Platform::initWithBasePath("");
        app = std::make_unique<App>();
    }
    void TearDown() override {
        unsetenv("APPDATA");
    }
    // One frame; `key` is held down during it, `other` opens a foreign modal.
    void frame(int key = -1, bool other = false) {
        ImGuiIO& io = ImGui::GetIO();
        io.DeltaTime = 1.0f / 60.0f;
        if (key >= 0) io.KeysDown[key] = true;
        ImGui::NewFrame();
        if (other) {
            if (!ImGui::IsPopupOpen("Other")) ImGui::OpenPopup("Other");
            if (ImGui::BeginPopupModal("Other")) ImGui::EndPopup();
        }
        drawPopups(*app);
        open.clear();
        for (const char* t : {"Error", "Info", "Question", "Success!"})
            if (ImGui::IsPopupOpen((std::string(t) + "##popup").c_str())) open.insert(t);
        otherOpen = ImGui::IsPopupOpen("Other");
        ImGui::Render();
        if (key >= 0) io.KeysDown[key] = false;
    }
    std::set<std::string> open;  // popups open at the end of the last frame
    bool otherOpen = false;
    bool shown(const std::string& title) const { return open.count(title) > 0; }
};

// One at a time, in order, also two of the same title.
TEST_F(PopupsTest, MessagesShowOneAfterAnother) {
    app->message("Error", "one");
    app->message("Error", "two");
    app->message("Info", "three");
    frame();
    EXPECT_TRUE(shown("Error"));
    EXPECT_FALSE(shown("Info"));
    frame(SDL_SCANCODE_RETURN);  // OK
    ASSERT_EQ(app->popups.size(), 2u);
    EXPECT_EQ(app->popups[0].text, "two");
    frame();
    EXPECT_TRUE(shown("Error"));
    frame(SDL_SCANCODE_RETURN);
    frame();
    EXPECT_TRUE(shown("Info"));
    frame(SDL_SCANCODE_ESCAPE);  // Escape answers OK too
    EXPECT_TRUE(app->popups.empty());
}

TEST_F(PopupsTest, ConfirmationAnswers) {
    int yes = 0;
    app->confirm("Question", "sure?", [&] { ++yes; });
    frame();
    frame(SDL_SCANCODE_ESCAPE);  // No
    EXPECT_EQ(yes, 0);
    EXPECT_TRUE(app->popups.empty());
    app->confirm("Question", "sure?", [&] { ++yes; });
    frame();
    frame(SDL_SCANCODE_KP_ENTER);  // Yes, once
    frame();
    EXPECT_EQ(yes, 1);
    EXPECT_TRUE(app->popups.empty());
}

TEST_F(PopupsTest, ActionQueuesBehindWaitingPopups) {
    app->confirm("Question", "go?", [&] { app->message("Success!", "from the action"); });
    app->message("Info", "waiting");
    frame();
    frame(SDL_SCANCODE_RETURN);
    ASSERT_EQ(app->popups.size(), 2u);
    EXPECT_EQ(app->popups[0].title, "Info");
    EXPECT_EQ(app->popups[1].title, "Success!");
}

TEST_F(PopupsTest, WaitsWhileAnotherModalIsOpen) {
    frame(-1, true);
    app->message("Error", "later");
    for (int i = 0; i < 3; ++i) frame(-1, true);
    EXPECT_TRUE(otherOpen);  // not closed by the message
    EXPECT_FALSE(shown("Error"));
    frame(SDL_SCANCODE_RETURN, true);  // keys do not answer a popup that is not shown
    EXPECT_EQ(app->popups.size(), 1u);
    frame();  // the other modal has gone
    frame();
    EXPECT_TRUE(shown("Error"));
}

}  // namespace
