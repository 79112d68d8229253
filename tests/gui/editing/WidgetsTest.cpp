// Shared widgets driven in a window-less GUI context: input is set directly
// on the GUI library's io record frame by frame.
#include <gtest/gtest.h>
#include <imgui.h>

#include <SDL_scancode.h>

#include <functional>
#include <utility>

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

// Only Return or a click elsewhere after an edit commits, masked to a byte.
TEST(HexField, CommitsOnReturnOrClickElsewhereAfterAnEdit) {
    const struct {
        const char* typed;
        std::function<void(Gui&)> end;
        bool committed;
        int a;
    } rows[] = {
        {"FFF", [](Gui& g) { g.press(SDL_SCANCODE_RETURN); }, true, 0xFF},
        {"7", [](Gui& g) { g.click(g.posB); }, true, 0x07},
        {"AB", [](Gui& g) { g.click(ImVec2(300, 250)); }, true, 0xAB},
        {"5", [](Gui& g) { g.press(SDL_SCANCODE_ESCAPE); }, false, 0x12},
        {"", [](Gui& g) { g.click(g.posB); }, false, 0x12},
        // Not drawn for a while mid-edit: the edit is gone when the field comes back.
        {"9", [](Gui& g) { g.showA = false, g.frame(), g.frame(), g.showA = true, g.frame(); }, false, 0x12},
    };
    for (const auto& r : rows) {
        Gui g;
        g.frame();
        g.click(g.posA);
        g.type(r.typed);
        EXPECT_EQ(g.a, 0x12) << r.typed << ": nothing commits while typing";
        r.end(g);
        g.frame();
        EXPECT_EQ(g.committedA, r.committed) << r.typed;
        EXPECT_EQ(g.a, r.a) << r.typed;
        EXPECT_FALSE(g.committedB) << r.typed;
        EXPECT_EQ(g.b, 0x34) << r.typed;
    }
}

TEST(CharDescription, Codes) {
    const std::pair<int, const char*> rows[] = {{129, "rev. a"}, {160, "rev. space"}, {64, ""},    {192, ""},
                                                {1, "a"},        {65, "A"},           {28, "\xC2\xA3"}, {0, "@"},
                                                {63, "?"},       {48 + 128, "rev. 0"}};
    for (auto [code, text] : rows) EXPECT_EQ(Widgets::CharDescription(code), text) << code;
}
