#include "app/Compat.h"

#include <cstring>
#include <unordered_map>

#include <SDL_keyboard.h>
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

int KeyLetter(char upper) {
    // The key that types the letter in the current layout (Z on a QWERTZ keyboard is where Y is on QWERTY).
    SDL_Scancode sc = SDL_GetScancodeFromKey(SDL_Keycode(SDLK_a + (upper - 'A')));
    return sc != SDL_SCANCODE_UNKNOWN ? int(sc) : SDL_SCANCODE_A + (upper - 'A');
}

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

namespace {
// Frames left in which PlaceWindow forces the default layout.
int g_layoutResetFrames = 0;
ImVec4 g_workArea;
// Where the default layout put each window in the last frame: a window still
// there follows the main window's size and the UI scale.
std::unordered_map<ImGuiID, ImVec4> g_defaultPlaced;
}  // namespace

bool BeginSideBar(const char* name, ImGuiDir dir, float size, ImGuiWindowFlags flags) {
    ImGuiViewportP* vp = (ImGuiViewportP*)ImGui::GetMainViewport();
    flags |= ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoSavedSettings;
    return ImGui::BeginViewportSideBar(name, vp, dir, size, flags);
}

void ResetLayout() { g_layoutResetFrames = 2; }

void BeginLayoutFrame() {
    ImGuiViewportP* vp = (ImGuiViewportP*)ImGui::GetMainViewport();
    ImRect r = vp->GetBuildWorkRect();
    g_workArea = ImVec4(r.Min.x, r.Min.y, r.GetWidth(), r.GetHeight());
    if (g_layoutResetFrames > 0) --g_layoutResetFrames;
}

ImVec4 DefaultWindowRect(const char* name, ImVec4 area) {
    static const char* const upperRight[] = {"Second view", "Registers", "Monitor", "Processor",
                                             "Assembler", "Memory bitmap"};
    static const char* const lowerRight[] = {"Character set", "Sprites", "Character editor",
                                             "Sprite editor"};
    float leftW = area.z * 0.70f, rightW = area.z - leftW, halfH = area.w * 0.5f;
    for (const char* n : upperRight)
        if (strcmp(n, name) == 0) return ImVec4(area.x + leftW, area.y, rightW, halfH);
    for (const char* n : lowerRight)
        if (strcmp(n, name) == 0) return ImVec4(area.x + leftW, area.y + halfH, rightW, area.w - halfH);
    if (strcmp(name, "Screen") == 0) return ImVec4(area.x, area.y, leftW, area.w);
    // Any other window floats near the middle of the area.
    return ImVec4(area.x + area.z * 0.25f, area.y + area.w * 0.2f, area.z * 0.5f, area.w * 0.6f);
}

namespace {

// A window stands in a dock that always fits the area the bars leave;
// when the bars grow (a larger UI scale) or the main window shrinks, it is
// pulled back inside that area instead of lying under the bars.
void keepInsideWorkArea(ImGuiWindow* w) {
    ImRect area(g_workArea.x, g_workArea.y, g_workArea.x + g_workArea.z, g_workArea.y + g_workArea.w);
    ImVec2 pos = w->Pos, size = w->Collapsed ? w->SizeFull : w->Size;
    ImVec2 np(ImMax(pos.x, area.Min.x), ImMax(pos.y, area.Min.y));
    ImVec2 ns(ImMin(size.x, area.Max.x - np.x), ImMin(size.y, area.Max.y - np.y));
    if (ns.x < 100 && area.GetWidth() >= 100) {
        np.x = ImMax(area.Min.x, area.Max.x - 100);
        ns.x = area.Max.x - np.x;
    }
    if (ns.y < 60 && area.GetHeight() >= 60) {
        np.y = ImMax(area.Min.y, area.Max.y - 60);
        ns.y = area.Max.y - np.y;
    }
    if (np.x != pos.x || np.y != pos.y) ImGui::SetNextWindowPos(np, ImGuiCond_Always);
    if (!w->Collapsed && (ns.x != size.x || ns.y != size.y)) ImGui::SetNextWindowSize(ns, ImGuiCond_Always);
}

bool closeTo(ImVec2 a, float x, float y) { return ImFabs(a.x - x) < 1.0f && ImFabs(a.y - y) < 1.0f; }

}  // namespace

void PlaceWindow(const char* name) {
    // Minimised, the main window reports no area at all: fitting to it would wreck the layout for good.
    if (g_workArea.z < 1 || g_workArea.w < 1) return;
    // A title whose visible part changes keeps its place under the id after "###".
    const char* id = strstr(name, "###");
    ImVec4 r = DefaultWindowRect(id ? id + 3 : name, g_workArea);
    ImGuiWindow* w = ImGui::FindWindowByName(name);
    const ImGuiID key = ImHashStr(name);
    auto found = g_defaultPlaced.find(key);
    const ImVec4* last = found != g_defaultPlaced.end() ? &found->second : nullptr;
    const bool atDefault = w && last && closeTo(w->Pos, last->x, last->y) &&
                           closeTo(w->Collapsed ? w->SizeFull : w->Size, last->z, last->w);
    ImGuiCond cond = g_layoutResetFrames > 0 || atDefault ? ImGuiCond_Always : ImGuiCond_FirstUseEver;
    if (cond == ImGuiCond_Always && w && closeTo(w->Pos, r.x, r.y) && closeTo(w->Collapsed ? w->SizeFull : w->Size, r.z, r.w))
        cond = ImGuiCond_None;  // already there: leave it (and the saved layout) alone
    if (cond != ImGuiCond_None) {
        ImGui::SetNextWindowPos(ImVec2(r.x, r.y), cond);
        ImGui::SetNextWindowSize(ImVec2(r.z, r.w), cond);
    }
    g_defaultPlaced[key] = r;
    if (cond == ImGuiCond_FirstUseEver && w) keepInsideWorkArea(w);
}

void PushFontSize(ImFont* font, float size) {
    if (font) ImGui::PushFont(font);
    ImGui::SetWindowFontScale(size / 12.0f);
}

void PopFontSize(ImFont* font) {
    ImGui::SetWindowFontScale(1.0f);
    if (font) ImGui::PopFont();
}

void SetFontScale(float scale) { ImGui::GetIO().FontGlobalScale = scale; }

bool NoPopupOpen() { return !ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId); }

bool ModalOpen() { return ImGui::GetTopMostPopupModal() != nullptr; }

}  // namespace Compat
