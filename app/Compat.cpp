#include "app/Compat.h"

#include <SDL_scancode.h>
#include <imgui_internal.h>

namespace Compat {

void SeparatorText(const char* label) {
    ImGui::TextUnformatted(label);
    ImGui::SameLine();
    ImVec2 p = ImGui::GetCursorScreenPos();
    float y = p.y + ImGui::GetTextLineHeight() * 0.5f;
    float right = ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x;
    if (right > p.x)
        ImGui::GetWindowDrawList()->AddLine(ImVec2(p.x, y), ImVec2(right, y),
                                            ImGui::GetColorU32(ImGuiCol_Separator));
    ImGui::NewLine();
}

int KeyLetter(char upper) { return SDL_SCANCODE_A + (upper - 'A'); }

int KeyDigit(int d) { return d == 0 ? SDL_SCANCODE_0 : SDL_SCANCODE_1 + (d - 1); }

int KeyF(int n) { return SDL_SCANCODE_F1 + (n - 1); }

int Key(NamedKey k) {
    switch (k) {
    case Key_Space: return SDL_SCANCODE_SPACE;
    case Key_Escape: return SDL_SCANCODE_ESCAPE;
    case Key_Return: return SDL_SCANCODE_RETURN;
    case Key_KeypadEnter: return SDL_SCANCODE_KP_ENTER;
    case Key_Insert: return SDL_SCANCODE_INSERT;
    case Key_Delete: return SDL_SCANCODE_DELETE;
    case Key_Backspace: return SDL_SCANCODE_BACKSPACE;
    case Key_Up: return SDL_SCANCODE_UP;
    case Key_Down: return SDL_SCANCODE_DOWN;
    case Key_Left: return SDL_SCANCODE_LEFT;
    case Key_Right: return SDL_SCANCODE_RIGHT;
    case Key_Home: return SDL_SCANCODE_HOME;
    case Key_Minus: return SDL_SCANCODE_MINUS;
    case Key_Equals: return SDL_SCANCODE_EQUALS;
    case Key_KeypadPlus: return SDL_SCANCODE_KP_PLUS;
    case Key_KeypadMinus: return SDL_SCANCODE_KP_MINUS;
    case Key_LeftShift: return SDL_SCANCODE_LSHIFT;
    case Key_RightShift: return SDL_SCANCODE_RSHIFT;
    case Key_LeftCtrl: return SDL_SCANCODE_LCTRL;
    case Key_RightCtrl: return SDL_SCANCODE_RCTRL;
    }
    return SDL_SCANCODE_UNKNOWN;
}

bool IsItemHoveredShort() {
    if (!ImGui::IsItemHovered()) return false;
    ImGuiContext& g = *GImGui;
    // Items without an id (plain text) have no hover timer; show at once.
    if (g.LastItemData.ID == 0 || g.HoveredId != g.LastItemData.ID) return true;
    return g.HoveredIdTimer >= 0.15f;
}

}  // namespace Compat
