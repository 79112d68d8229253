#include "app/Compat.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
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
// Identities of the windows placed in this frame and in the one before: the
// open windows, which share the tiles of the default layout.
std::vector<std::string> g_openNow, g_openBefore;

const char* identity(const char* title) {
    const char* id = strstr(title, "###");
    return id ? id + 3 : title;
}
bool isOpen(const char* id) {
    for (const auto* list : {&g_openNow, &g_openBefore})
        for (const std::string& n : *list)
            if (n == id) return true;
    return false;
}
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
    g_openBefore.swap(g_openNow);
    g_openNow.clear();
}

ImVec4 DefaultWindowRect(const char* name, ImVec4 area) {
    // Without docking there are no tabs: every open window gets a tile of its
    // own, so all of them can be open at once without covering each other.
    // The screen takes the upper left, the small tools a strip below it, and
    // the views two columns on the right; the open windows of a column share
    // it as a dock's stack would, each by its weight.
    struct Tile {
        const char* title;
        int column;  // 0, 1: right-hand columns; 2: the strip under the screen
        float weight;
    };
    static const Tile tiles[] = {
        {"Character set", 0, 2},    {"Character editor", 0, 3}, {"Sprites", 0, 2},
        {"Sprite editor", 0, 3},    {"Second view", 0, 2},      {"Registers", 0, 2},
        {"Memory bitmap", 0, 2},    {"Monitor", 1, 3},          {"Processor", 1, 2.5f},
        {"Assembler", 1, 2.5f},     {"Mount disk", 1, 2},
        {"Import charset from font", 1, 2}, {"Vorlix Help", 1, 2},
        {"Calc converter", 2, 1},   {"Convert bitmap to charset", 2, 1}, {"Preferences", 2, 1},
        {"About Vorlix", 2, 1},
    };
    // The identity of a title that changes is the part after "###".
    name = identity(name);
    const float screenW = area.z * 0.6f, screenH = area.w * 0.7f;
    if (strcmp(name, "Screen") == 0) return ImVec4(area.x, area.y, screenW, screenH);
    const Tile* tile = nullptr;
    for (const Tile& t : tiles)
        if (strcmp(t.title, name) == 0) tile = &t;
    if (!tile) {
        // Any other window floats near the middle of the area: the picture
        // import, whose smallest size is wider than the right-hand columns.
        return ImVec4(area.x + area.z * 0.25f, area.y + area.w * 0.2f, area.z * 0.5f, area.w * 0.6f);
    }
    float before = 0, total = 0;
    for (const Tile& t : tiles) {
        if (t.column != tile->column || (&t != tile && !isOpen(t.title))) continue;
        if (&t < tile) before += t.weight;
        total += t.weight;
    }
    if (tile->column == 2) {
        float w = screenW / total;
        return ImVec4(area.x + before * w, area.y + screenH, tile->weight * w, area.w - screenH);
    }
    // A column alone takes the whole right-hand area, as a dock node whose neighbour is empty.
    bool neighbour = false;
    for (const Tile& t : tiles)
        neighbour = neighbour || (t.column == 1 - tile->column && isOpen(t.title));
    float colW = (area.z - screenW) * (neighbour ? 0.5f : 1.0f), unit = area.w / total;
    float x = area.x + screenW + (neighbour ? tile->column * colW : 0);
    return ImVec4(x, area.y + before * unit, colW, tile->weight * unit);
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
    if (std::find(g_openNow.begin(), g_openNow.end(), identity(name)) == g_openNow.end())
        g_openNow.push_back(identity(name));
    ImVec4 r = DefaultWindowRect(name, g_workArea);
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
