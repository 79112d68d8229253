#include <SDL_scancode.h>

#include <set>

#include "gui/Compat.h"

namespace Compat {

namespace {

bool g_haveMouse = false;
ImVec2 g_mouse;
bool g_buttons[5] = {};
std::set<ImGuiKey> g_keys;

}  // namespace

void SynthMousePos(float x, float y) {
    g_mouse = ImVec2(x, y);
    g_haveMouse = true;
}

void SynthMouseButton(int button, bool down) {
    if (button >= 0 && button < 5) g_buttons[button] = down;
}

void SynthKey(ImGuiKey key, bool down) {
    if (down) g_keys.insert(key);
    else g_keys.erase(key);
}

void ApplySynthInput() {
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = g_haveMouse ? g_mouse : ImVec2(-FLT_MAX, -FLT_MAX);
    for (int b = 0; b < 5; ++b) io.MouseDown[b] = g_buttons[b];
    for (bool& k : io.KeysDown) k = false;
    io.KeyCtrl = g_keys.count(ModCtrl) > 0;
    io.KeyShift = g_keys.count(ModShift) > 0;
    io.KeyAlt = g_keys.count(ModAlt) > 0;
    io.KeySuper = false;
    io.KeysDown[SDL_SCANCODE_LCTRL] = io.KeyCtrl;
    io.KeysDown[SDL_SCANCODE_LSHIFT] = io.KeyShift;
    io.KeysDown[SDL_SCANCODE_LALT] = io.KeyAlt;
    for (ImGuiKey k : g_keys)
        if (k >= KeyLetterA && k < KeyLetterA + 26) io.KeysDown[KeyLetter(char('A' + (k - KeyLetterA)))] = true;
}

}  // namespace Compat
