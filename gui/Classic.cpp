#include "gui/Classic.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <imgui_internal.h>

#include "gui/AtlasImage.h"

namespace Classic {

ImFont* MonoFont = nullptr;

float Scale() { return ImGui::GetFontSize() / 12.0f; }

namespace {

constexpr int ditherSize = 96;  // covers a button at UI scale 300 %
AtlasPicture g_dither;

ImVec4 rgba(int r, int g, int b, int a) { return ImVec4(r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f); }

ImU32 col(int r, int g, int b) { return IM_COL32(r, g, b, 255); }

void line(ImDrawList* dl, float x0, float y0, float x1, float y1, ImU32 c) {
    // Lines at pixel centres so that each covers exactly one pixel row or column.
    if (y0 == y1)
        dl->AddRectFilled(ImVec2(x0, y0), ImVec2(x1 + 1, y0 + 1), c);
    else
        dl->AddRectFilled(ImVec2(x0, y0), ImVec2(x0 + 1, y1 + 1), c);
}

}  // namespace

void ApplyStyle() {
    ImGuiStyle& s = ImGui::GetStyle();
    s.WindowPadding = ImVec2(6, 6);
    s.WindowRounding = 0;
    s.WindowBorderSize = 1;
    s.WindowTitleAlign = ImVec2(0, 0.5f);
    s.ChildRounding = 0;
    s.ChildBorderSize = 1;
    s.PopupRounding = 0;
    s.PopupBorderSize = 1;
    s.FramePadding = ImVec2(4, 3);
    s.FrameRounding = 0;
    s.FrameBorderSize = 1;
    s.ItemSpacing = ImVec2(6, 4);
    s.ItemInnerSpacing = ImVec2(4, 4);
    s.ScrollbarSize = 16;
    s.ScrollbarRounding = 0;
    s.GrabMinSize = 12;
    s.GrabRounding = 0;
    s.TabRounding = 0;
    s.TabBorderSize = 1;
    s.SeparatorTextBorderSize = 1;
    // Aliased fills, as the classic look draws them; the fringe of an anti-aliased
    // fill doubles the triangles of every radio button, arrow and circle.
    s.AntiAliasedFill = false;

    ImVec4* c = s.Colors;
    c[ImGuiCol_Text] = rgba(0, 0, 0, 255);
    c[ImGuiCol_TextDisabled] = rgba(128, 128, 128, 255);
    c[ImGuiCol_WindowBg] = rgba(240, 240, 240, 255);
    c[ImGuiCol_ChildBg] = rgba(0, 0, 0, 0);
    c[ImGuiCol_PopupBg] = rgba(240, 240, 240, 255);
    c[ImGuiCol_Border] = rgba(160, 160, 160, 255);
    c[ImGuiCol_BorderShadow] = rgba(0, 0, 0, 0);
    c[ImGuiCol_FrameBg] = rgba(255, 255, 255, 255);
    c[ImGuiCol_FrameBgHovered] = rgba(255, 255, 255, 255);
    c[ImGuiCol_FrameBgActive] = rgba(255, 255, 255, 255);
    c[ImGuiCol_TitleBg] = rgba(191, 205, 219, 255);
    c[ImGuiCol_TitleBgActive] = rgba(153, 180, 209, 255);
    c[ImGuiCol_TitleBgCollapsed] = rgba(191, 205, 219, 255);
    c[ImGuiCol_MenuBarBg] = rgba(240, 240, 240, 255);
    c[ImGuiCol_ScrollbarBg] = rgba(232, 232, 232, 255);
    c[ImGuiCol_ScrollbarGrab] = rgba(205, 205, 205, 255);
    c[ImGuiCol_ScrollbarGrabHovered] = rgba(166, 166, 166, 255);
    c[ImGuiCol_ScrollbarGrabActive] = rgba(130, 130, 130, 255);
    c[ImGuiCol_CheckMark] = rgba(0, 0, 0, 255);
    c[ImGuiCol_SliderGrab] = rgba(160, 160, 160, 255);
    c[ImGuiCol_SliderGrabActive] = rgba(105, 105, 105, 255);
    c[ImGuiCol_Button] = rgba(240, 240, 240, 255);
    c[ImGuiCol_ButtonHovered] = rgba(229, 241, 251, 255);
    c[ImGuiCol_ButtonActive] = rgba(204, 228, 247, 255);
    c[ImGuiCol_Header] = rgba(204, 232, 255, 255);
    c[ImGuiCol_HeaderHovered] = rgba(229, 243, 255, 255);
    c[ImGuiCol_HeaderActive] = rgba(204, 232, 255, 255);
    c[ImGuiCol_Separator] = rgba(160, 160, 160, 255);
    c[ImGuiCol_SeparatorHovered] = rgba(105, 105, 105, 255);
    c[ImGuiCol_SeparatorActive] = rgba(0, 120, 215, 255);
    c[ImGuiCol_ResizeGrip] = rgba(160, 160, 160, 80);
    c[ImGuiCol_ResizeGripHovered] = rgba(105, 105, 105, 160);
    c[ImGuiCol_ResizeGripActive] = rgba(0, 120, 215, 255);
    c[ImGuiCol_Tab] = rgba(225, 225, 225, 255);
    c[ImGuiCol_TabHovered] = rgba(255, 255, 255, 255);
    c[ImGuiCol_PlotLines] = rgba(0, 0, 0, 255);
    c[ImGuiCol_TableHeaderBg] = rgba(240, 240, 240, 255);
    c[ImGuiCol_TableBorderStrong] = rgba(160, 160, 160, 255);
    c[ImGuiCol_TableBorderLight] = rgba(220, 220, 220, 255);
    c[ImGuiCol_TableRowBg] = rgba(255, 255, 255, 255);
    c[ImGuiCol_TableRowBgAlt] = rgba(247, 247, 247, 255);
    c[ImGuiCol_TextSelectedBg] = rgba(0, 120, 215, 90);
    c[ImGuiCol_DragDropTarget] = rgba(0, 120, 215, 255);
    c[ImGuiCol_ModalWindowDimBg] = rgba(0, 0, 0, 40);
    c[ImGuiCol_TabSelected] = rgba(240, 240, 240, 255);
    c[ImGuiCol_TabSelectedOverline] = rgba(0, 120, 215, 255);
    c[ImGuiCol_TabDimmed] = rgba(225, 225, 225, 255);
    c[ImGuiCol_TabDimmedSelected] = rgba(240, 240, 240, 255);
    c[ImGuiCol_TabDimmedSelectedOverline] = rgba(0, 0, 0, 0);
    c[ImGuiCol_DockingPreview] = rgba(0, 120, 215, 120);
    c[ImGuiCol_DockingEmptyBg] = rgba(171, 171, 171, 255);
    c[ImGuiCol_NavCursor] = rgba(0, 120, 215, 255);
}

void AddToAtlas(ImFontAtlas* atlas) {
    // White on every other pixel of every other row, offset by one each second
    // row, transparent between.
    std::vector<unsigned int> dither(ditherSize * ditherSize, 0);
    for (int v = 0; v < ditherSize; v += 2)
        for (int u = 1 - (v / 2) % 2; u < ditherSize; u += 2) dither[v * ditherSize + u] = 0xFFFFFFFFu;
    atlas->TexPixelsUseColors = true;
    g_dither = PlaceInAtlas(atlas, dither, ditherSize, ditherSize);
}

void Bevel(ImDrawList* dl, ImVec2 a, ImVec2 b, bool raised) {
    ImU32 outerLight, outerDark, innerLight, innerDark;
    if (raised) {
        outerLight = col(255, 255, 255);
        outerDark = col(105, 105, 105);
        innerLight = col(227, 227, 227);
        innerDark = col(160, 160, 160);
    } else {
        outerLight = col(160, 160, 160);
        outerDark = col(255, 255, 255);
        innerLight = col(105, 105, 105);
        innerDark = col(227, 227, 227);
    }
    line(dl, a.x, a.y, b.x - 1, a.y, outerLight);
    line(dl, a.x, a.y, a.x, b.y - 1, outerLight);
    line(dl, a.x, b.y - 1, b.x - 1, b.y - 1, outerDark);
    line(dl, b.x - 1, a.y, b.x - 1, b.y - 1, outerDark);
    line(dl, a.x + 1, a.y + 1, b.x - 2, a.y + 1, innerLight);
    line(dl, a.x + 1, a.y + 1, a.x + 1, b.y - 2, innerLight);
    line(dl, a.x + 1, b.y - 2, b.x - 2, b.y - 2, innerDark);
    line(dl, b.x - 2, a.y + 1, b.x - 2, b.y - 2, innerDark);
}

void ThinBevel(ImDrawList* dl, ImVec2 a, ImVec2 b, bool raised) {
    ImU32 light = raised ? col(255, 255, 255) : col(160, 160, 160);
    ImU32 dark = raised ? col(160, 160, 160) : col(255, 255, 255);
    line(dl, a.x, a.y, b.x - 1, a.y, light);
    line(dl, a.x, a.y, a.x, b.y - 1, light);
    line(dl, a.x, b.y - 1, b.x - 1, b.y - 1, dark);
    line(dl, b.x - 1, a.y, b.x - 1, b.y - 1, dark);
}

bool SpeedButton(const char* id, const AtlasImage* icon, const char* label, bool selected, ImVec2 size,
                 const char* tip) {
    ImDrawList* dl = ImGui::GetWindowDrawList();
    ImVec2 p0 = ImGui::GetCursorScreenPos();
    bool clicked = ImGui::InvisibleButton(id, size);
    ImVec2 p1(p0.x + size.x, p0.y + size.y);
    bool pressed = ImGui::IsItemActive() || selected;
    bool hovered = ImGui::IsItemHovered(ImGuiHoveredFlags_DelayShort);

    if (!selected) {
        dl->AddRectFilled(p0, p1, col(240, 240, 240));
    } else {
        dl->AddRectFilled(p0, p1, col(255, 236, 150));
        // One pattern pixel per screen pixel: those whose centres lie in [p0 + 2, p1 - 2).
        const AtlasImage dither = ImageOf(g_dither);
        ImVec2 a(std::ceil(p0.x + 1.5f), std::ceil(p0.y + 1.5f));
        ImVec2 n(std::min(std::ceil(p1.x - 2.5f) - a.x, dither.size.x), std::min(std::ceil(p1.y - 2.5f) - a.y, dither.size.y));
        if (n.x > 0 && n.y > 0) {
            ImVec2 uv = ImGui::GetIO().Fonts->TexUvScale;
            dl->AddImage(ImGui::GetIO().Fonts->TexRef, a, ImVec2(a.x + n.x, a.y + n.y), dither.uv0,
                         ImVec2(dither.uv0.x + n.x * uv.x, dither.uv0.y + n.y * uv.y));
        }
    }
    Bevel(dl, p0, p1, !pressed);

    float shift = pressed ? 1.0f : 0.0f;
    if (icon) {
        ImVec2 isz = icon->size;
        ImVec2 tl(std::floor(p0.x + (size.x - isz.x) * 0.5f + shift),
                  std::floor(p0.y + (size.y - isz.y) * 0.5f + shift));
        dl->AddImage(ImGui::GetIO().Fonts->TexRef, tl, ImVec2(tl.x + isz.x, tl.y + isz.y), icon->uv0, icon->uv1);
    } else if (label) {
        ImVec2 ts = ImGui::CalcTextSize(label);
        dl->AddText(ImVec2(p0.x + (size.x - ts.x) * 0.5f + shift, p0.y + (size.y - ts.y) * 0.5f + shift),
                    col(0, 0, 0), label);
    }
    if (tip && hovered) ImGui::SetTooltip("%s", tip);
    return clicked;
}

bool BeginBar(const char* name, ImGuiDir dir, float thickness, float length, bool framed) {
    ImGuiViewportP* vp = static_cast<ImGuiViewportP*>(ImGui::GetMainViewport());
    const bool horizontal = dir == ImGuiDir_Up || dir == ImGuiDir_Down;
    const ImVec2 room = vp->GetBuildWorkRect().GetSize();  // what the bars drawn before it leave
    const bool scrolls = length > (horizontal ? room.x : room.y);
    const float scrollbar = ImGui::GetStyle().ScrollbarSize * Scale();
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    bool open = ImGui::BeginViewportSideBar(name, vp, dir, thickness + (scrolls ? scrollbar : 0.0f),
                                            ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoSavedSettings);
    ImGui::PopStyleVar(2);
    if (!open) return false;
    if (framed) {
        const ImVec2 p = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
        ThinBevel(ImGui::GetWindowDrawList(), p, ImVec2(p.x + size.x, p.y + size.y), true);
    }
    if (scrolls) {
        ImGui::PushStyleVar(ImGuiStyleVar_ScrollbarSize, scrollbar);
        ImGui::BeginChild("##scroll", ImVec2(0, 0), ImGuiChildFlags_None,
                          horizontal ? ImGuiWindowFlags_HorizontalScrollbar : ImGuiWindowFlags_None);
        ImGui::PopStyleVar();
    }
    return true;
}

bool ClickEndedOnBar() {
    return ImGui::IsWindowHovered(ImGuiHoveredFlags_RootAndChildWindows | ImGuiHoveredFlags_AllowWhenBlockedByActiveItem) &&
           (ImGui::IsMouseReleased(ImGuiMouseButton_Left) || ImGui::IsMouseReleased(ImGuiMouseButton_Right));
}

void EndBar() {
    if (ImGui::GetCurrentWindow()->Flags & ImGuiWindowFlags_ChildWindow) ImGui::EndChild();
    ImGui::End();
}

}  // namespace Classic
