// Shared widgets driven in a window-less GUI context: input is set directly
// on the GUI library's io record frame by frame.
#include <gtest/gtest.h>
#include <imgui.h>

#include <SDL_scancode.h>

#include <functional>

#include "app/Classic.h"
#include "app/Widgets.h"
#include "tests/gui/HeadlessGui.h"

namespace {

struct Gui {
    HeadlessGui headless{ImVec2(800, 600)};
    Gui() {
        ImGuiIO& io = ImGui::GetIO();
        io.KeyMap[ImGuiKey_Enter] = SDL_SCANCODE_RETURN;
        io.KeyMap[ImGuiKey_KeyPadEnter] = SDL_SCANCODE_KP_ENTER;
        io.KeyMap[ImGuiKey_Escape] = SDL_SCANCODE_ESCAPE;
        io.KeyMap[ImGuiKey_Backspace] = SDL_SCANCODE_BACKSPACE;
        Classic::ApplyStyle();
    }

    // One frame with two hex byte fields at known places; returns the commits.
    int a = 0x12, b = 0x34;
    bool committedA = false, committedB = false, showA = true;
    ImVec2 posA, posB;
    void frame() {
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImVec2(400, 300));
        ImGui::Begin("w");
        posA = ImGui::GetCursorScreenPos();
        if (showA) committedA |= Widgets::HexByteInput("##a", a, 60);
        posB = ImGui::GetCursorScreenPos();
        committedB |= Widgets::HexByteInput("##b", b, 60);
        ImGui::End();
        ImGui::Render();
    }
    void click(ImVec2 p) {
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = ImVec2(p.x + 10, p.y + 5);
        frame();
        io.MouseDown[0] = true;
        frame();
        io.MouseDown[0] = false;
        frame();
    }
    void type(const char* text) {
        ImGui::GetIO().AddInputCharactersUTF8(text);
        frame();
    }
    void press(int scancode) {
        ImGuiIO& io = ImGui::GetIO();
        io.KeysDown[scancode] = true;
        frame();
        io.KeysDown[scancode] = false;
        frame();
    }
};

}  // namespace

TEST(HexField, EnterCommitsMasked) {
    Gui g;
    g.frame();
    g.click(g.posA);
    g.type("FFF");
    EXPECT_EQ(g.a, 0x12) << "nothing commits while typing";
    g.press(SDL_SCANCODE_RETURN);
    EXPECT_TRUE(g.committedA);
    EXPECT_EQ(g.a, 0xFF);
}

TEST(HexField, ClickOnAnotherFieldKeepsTheEdit) {
    Gui g;
    g.frame();
    g.click(g.posA);
    g.type("7");
    g.click(g.posB);
    g.frame();
    EXPECT_TRUE(g.committedA);
    EXPECT_EQ(g.a, 0x07);
    EXPECT_FALSE(g.committedB);
    EXPECT_EQ(g.b, 0x34);
}

TEST(HexField, ClickOnEmptySpaceKeepsTheEdit) {
    Gui g;
    g.frame();
    g.click(g.posA);
    g.type("AB");
    g.click(ImVec2(300, 250));
    g.frame();
    EXPECT_TRUE(g.committedA);
    EXPECT_EQ(g.a, 0xAB);
}

TEST(HexField, EscapeAndUneditedFocusLossCommitNothing) {
    Gui g;
    g.frame();
    g.click(g.posA);
    g.type("5");
    g.press(SDL_SCANCODE_ESCAPE);
    g.frame();
    EXPECT_FALSE(g.committedA);
    EXPECT_EQ(g.a, 0x12);
    g.click(g.posA);
    g.click(g.posB);
    g.frame();
    EXPECT_FALSE(g.committedA);
    EXPECT_EQ(g.a, 0x12);
    // Not drawn for a while mid-edit: the edit is gone when the field comes back.
    g.click(g.posA);
    g.type("9");
    g.showA = false;
    g.frame();
    g.frame();
    g.showA = true;
    g.frame();
    g.frame();
    EXPECT_FALSE(g.committedA);
    EXPECT_EQ(g.a, 0x12);
}

TEST(CharDescription, Codes) {
    EXPECT_EQ(Widgets::CharDescription(129), "rev. a");
    EXPECT_EQ(Widgets::CharDescription(160), "rev. space");
    EXPECT_EQ(Widgets::CharDescription(64), "");
    EXPECT_EQ(Widgets::CharDescription(192), "");
    EXPECT_EQ(Widgets::CharDescription(1), "a");
    EXPECT_EQ(Widgets::CharDescription(65), "A");
    EXPECT_EQ(Widgets::CharDescription(28), "\xC2\xA3");
    EXPECT_EQ(Widgets::CharDescription(0), "@");
    EXPECT_EQ(Widgets::CharDescription(63), "?");
    EXPECT_EQ(Widgets::CharDescription(48 + 128), "rev. 0");
}

