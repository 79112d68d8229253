#include "gui/Compat.h"

#include <algorithm>
#include <cstring>
#include <set>
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
ImVec4 g_workArea;
// Identities of the windows placed in this frame and in the one before: the
// open windows, which share the tiles of the default layout.
std::vector<std::string> g_openNow, g_openBefore;
// Windows the user moved or resized in this layout: they keep their place. Kept
// in the layout file, so a window opened after a restart rejoins the tiling
// unless the user had placed it.
std::set<std::string> g_userPlaced;
// Where the default layout put each window in the last frame it was drawn.
std::unordered_map<std::string, ImVec4> g_defaultPlaced;

const char* identity(const char* title) {
    const char* id = strstr(title, "###");
    return id ? id + 3 : title;
}
// Open and tiled: a window the user placed floats and leaves its room to the others.
bool isOpen(const char* id) {
    if (g_userPlaced.count(id)) return false;
    for (const auto* list : {&g_openNow, &g_openBefore})
        for (const std::string& n : *list)
            if (n == id) return true;
    return false;
}

void* placedOpen(ImGuiContext*, ImGuiSettingsHandler*, const char* name) {
    return strcmp(name, "Placed") == 0 ? (void*)&g_userPlaced : nullptr;
}
void placedLine(ImGuiContext*, ImGuiSettingsHandler*, void*, const char* line) {
    if (strncmp(line, "Window=", 7) == 0 && line[7]) g_userPlaced.insert(line + 7);
}
void placedWrite(ImGuiContext*, ImGuiSettingsHandler* h, ImGuiTextBuffer* out) {
    out->appendf("[%s][Placed]\n", h->TypeName);
    for (const std::string& n : g_userPlaced) out->appendf("Window=%s\n", n.c_str());
    out->append("\n");
}
}  // namespace

bool BeginSideBar(const char* name, ImGuiDir dir, float size, ImGuiWindowFlags flags) {
    ImGuiViewportP* vp = (ImGuiViewportP*)ImGui::GetMainViewport();
    flags |= ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoSavedSettings;
    return ImGui::BeginViewportSideBar(name, vp, dir, size, flags);
}

void InitLayout() {
    g_userPlaced.clear();
    g_defaultPlaced.clear();
    g_openNow.clear();
    g_openBefore.clear();
    ImGuiSettingsHandler h;
    h.TypeName = "Tiling";
    h.TypeHash = ImHashStr("Tiling");
    h.ReadOpenFn = placedOpen;
    h.ReadLineFn = placedLine;
    h.WriteAllFn = placedWrite;
    GImGui->SettingsHandlers.push_back(h);
}

void ResetLayout() {
    g_userPlaced.clear();
    g_defaultPlaced.clear();
    ImGui::MarkIniSettingsDirty();
}

void BeginLayoutFrame() {
    ImGuiViewportP* vp = (ImGuiViewportP*)ImGui::GetMainViewport();
    ImRect r = vp->GetBuildWorkRect();
    g_workArea = ImVec4(r.Min.x, r.Min.y, r.GetWidth(), r.GetHeight());
    g_openBefore.swap(g_openNow);
    g_openNow.clear();
}

namespace {

// Without docking there are no tabs: every open window gets a tile of its
// own, so all of them can be open at once without covering each other.
// The screen takes the upper left, the small tools a strip below it, and
// the views two columns on the right; the open windows of a column share
// it as a dock's stack would, each by its weight, but none below the least
// room its content needs (unscaled pixels, window frame included) while
// the column has that room.
struct Tile {
    const char* title;
    int column;  // 0, 1: right-hand columns; 2: the strip under the screen
    float weight;
    float minW, minH;
    float fixedW = 0, fixedH = 0;  // and pixels that do not follow the UI scale (a picture at its size)
};
const Tile kTiles[] = {
    {"Character set", 0, 2, 300, 330},
    {"Character editor", 0, 3, 300, 300},
    {"Sprites", 0, 2, 300, 180},
    {"Sprite editor", 0, 3, 300, 280},
    {"Second view", 0, 2, 30, 40, 384, 264},  // the frame at zoom 1
    {"Registers", 0, 2, 280, 200},
    {"Memory bitmap", 0, 2, 40, 160, 640},  // its default width
    {"Monitor", 1, 3, 336, 262},  // the screen at 1x
    {"Processor", 1, 2.5f, 430, 330},
    {"Assembler", 1, 2.5f, 330, 300},
    {"Mount disk", 1, 2, 330, 260},
    {"Import charset from font", 1, 2, 330, 300},
    {"Vorlix Help", 1, 2, 300, 150},
    {"Calc converter", 2, 1, 310, 330},
    {"Convert bitmap to charset", 2, 1, 260, 200},
    {"Preferences", 2, 1, 300, 330},
};

const Tile* findTile(const char* name) {
    for (const Tile& t : kTiles)
        if (strcmp(t.title, name) == 0) return &t;
    return nullptr;
}

// A tile's least width (across) or height at that UI scale.
float least(const Tile& t, float scale, bool across) {
    return across ? t.minW * scale + t.fixedW : t.minH * scale + t.fixedH;
}

// Splits length among open tiles: each its least size while they all fit,
// the rest by weight; when even the least sizes do not fit, in their proportion.
float share(const Tile* tile, int column, float length, float scale, bool across, float* offset) {
    float mins = 0, weights = 0;
    for (const Tile& t : kTiles) {
        if (t.column != column || (&t != tile && !isOpen(t.title))) continue;
        mins += least(t, scale, across);
        weights += t.weight;
    }
    const float spare = length - mins;
    auto size = [&](const Tile& t) {
        const float m = least(t, scale, across);
        return spare >= 0 ? m + spare * t.weight / weights : length * m / mins;
    };
    float before = 0;
    for (const Tile& t : kTiles) {
        if (&t == tile) break;
        if (t.column == column && isOpen(t.title)) before += size(t);
    }
    *offset = before;
    return size(*tile);
}

// The least width a right-hand column (or height the strip) needs for its open
// windows and the one asked about.
float columnNeed(int column, const Tile* tile, float scale, bool across) {
    float need = 0;
    for (const Tile& t : kTiles)
        if (t.column == column && (&t == tile || isOpen(t.title))) need = std::max(need, least(t, scale, across));
    return need;
}

}  // namespace

ImVec4 DefaultWindowRect(const char* name, ImVec4 area) {
    // The identity of a title that changes is the part after "###".
    name = identity(name);
    const float scale = ImGui::GetFontSize() / 12.0f;
    const Tile* tile = findTile(name);
    // The right-hand columns: 40 % of the area, or what their windows need, as
    // long as the screen keeps a quarter of it.
    const float need0 = columnNeed(0, tile, scale, true), need1 = columnNeed(1, tile, scale, true);
    const bool both = need0 > 0 && need1 > 0;
    const float rightW = std::min(std::max(area.z * 0.4f, need0 + need1), area.z * 0.75f);
    float col0W = rightW, col1W = rightW;
    if (both) {
        // Each column its need, the rest halved.
        const float spare = rightW - need0 - need1;
        col0W = spare >= 0 ? need0 + spare * 0.5f : rightW * need0 / (need0 + need1);
        col1W = rightW - col0W;
    }
    const float screenW = area.z - rightW;
    // The strip under the screen: 30 % of the height, or what its windows need, up to 60 %.
    const float stripNeed = columnNeed(2, tile, scale, false);
    const float stripH = stripNeed > 0 ? std::min(std::max(area.w * 0.3f, stripNeed), area.w * 0.6f) : area.w * 0.3f;
    const float screenH = area.w - stripH;
    if (strcmp(name, "Screen") == 0) return ImVec4(area.x, area.y, screenW, screenH);
    if (!tile) {
        // Any other window floats near the middle of the area: the picture
        // import, whose smallest size is wider than the right-hand columns.
        return ImVec4(area.x + area.z * 0.25f, area.y + area.w * 0.2f, area.z * 0.5f, area.w * 0.6f);
    }
    float offset = 0;
    if (tile->column == 2) {
        const float w = share(tile, 2, screenW, scale, true, &offset);
        return ImVec4(area.x + offset, area.y + screenH, w, stripH);
    }
    const float h = share(tile, tile->column, area.w, scale, false, &offset);
    // A column alone takes the whole right-hand area, as a dock node whose neighbour is empty.
    const float x = area.x + screenW + (both && tile->column == 1 ? col0W : 0);
    return ImVec4(x, area.y + offset, tile->column == 0 ? col0W : col1W, h);
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
    const std::string id = identity(name);
    if (std::find(g_openNow.begin(), g_openNow.end(), id) == g_openNow.end()) g_openNow.push_back(id);
    ImVec4 r = DefaultWindowRect(name, g_workArea);
    ImGuiWindow* w = ImGui::FindWindowByName(name);
    // This release decides on the vertical scroll bar without counting the
    // horizontal one: content that fits only without the latter would lie
    // partly under it, out of reach. Asking for that much more room shows both.
    if (w && !w->Collapsed && w->ScrollbarX &&
        w->ContentSizeIdeal.y + w->WindowPadding.y * 2 > w->InnerRect.GetHeight() + 0.5f)
        ImGui::SetNextWindowContentSize(ImVec2(0, w->ContentSizeIdeal.y + ImGui::GetStyle().ScrollbarSize));
    auto found = g_defaultPlaced.find(id);
    if (w && found != g_defaultPlaced.end()) {
        // Not where the layout put it in the last frame: the user moved or resized it.
        const ImVec4& last = found->second;
        if (!closeTo(w->Pos, last.x, last.y) || !closeTo(w->Collapsed ? w->SizeFull : w->Size, last.z, last.w)) {
            g_userPlaced.insert(id);
            g_defaultPlaced.erase(found);
            ImGui::MarkIniSettingsDirty();
        }
    }
    if (g_userPlaced.count(id)) {
        if (w) keepInsideWorkArea(w);
        else {
            ImGui::SetNextWindowPos(ImVec2(r.x, r.y), ImGuiCond_FirstUseEver);
            ImGui::SetNextWindowSize(ImVec2(r.z, r.w), ImGuiCond_FirstUseEver);
        }
        return;
    }
    // Its tile of the current tiling, whatever an earlier layout left.
    if (!w || !closeTo(w->Pos, r.x, r.y) || !closeTo(w->Collapsed ? w->SizeFull : w->Size, r.z, r.w)) {
        ImGui::SetNextWindowPos(ImVec2(r.x, r.y), ImGuiCond_Always);
        ImGui::SetNextWindowSize(ImVec2(r.z, r.w), ImGuiCond_Always);
    }
    g_defaultPlaced[id] = r;
}

void SameLineIfFits(float width) {
    ImGui::SameLine();
    const float right = ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x;
    if (ImGui::GetCursorScreenPos().x + width > right) ImGui::NewLine();
}

void PushWrapAtEdge() {
    ImGuiWindow* w = ImGui::GetCurrentWindow();
    ImGui::PushTextWrapPos(ImMax(w->Size.x - w->WindowPadding.x - w->ScrollbarSizes.x, 1.0f));
}

float ButtonWidth(const char* label) {
    return ImGui::CalcTextSize(label, nullptr, true).x + ImGui::GetStyle().FramePadding.x * 2;
}

float CheckboxWidth(const char* label) {
    return ImGui::GetFrameHeight() + ImGui::GetStyle().ItemInnerSpacing.x + ImGui::CalcTextSize(label, nullptr, true).x;
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
