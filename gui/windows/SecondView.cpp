#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/App.h"
#include "gui/Fit.h"
#include "gui/Canvas.h"
#include "gui/windows/Windows.h"
#include "core/Vic.h"

void drawSecondView(App& app) {
    static Canvas canvas;
    int& zoom = app.ui.secondView.zoom;
    const Machine& m = app.machine;

    char title[64];
    std::snprintf(title, sizeof title, "Second view - %dx###Second view", zoom);
    Fit::FirstUse(ImVec2(400, 300));
    bool shown = ImGui::Begin(title, &app.showSecondView,
                              ImGuiWindowFlags_HorizontalScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
    if (!shown) {
        ImGui::End();
        return;
    }

    canvas.redrawFrame(m, app.palette);

    ImVec2 size(float(Vic::FrameWidth * zoom), float(Vic::FrameHeight * zoom));
    ImVec2 avail = ImGui::GetContentRegionAvail();
    ImVec2 cur = ImGui::GetCursorScreenPos();
    ImVec2 origin(cur.x + std::max(0.0f, std::floor((avail.x - size.x) * 0.5f)),
                  cur.y + std::max(0.0f, std::floor((avail.y - size.y) * 0.5f)));
    ImGui::SetCursorScreenPos(origin);
    ImGui::InvisibleButton("##sv", size);
    ImDrawList* dl = ImGui::GetWindowDrawList();
    DrawPixels(dl, canvas.tex, origin, ImVec2(origin.x + size.x, origin.y + size.y));

    ImGuiIO& io = ImGui::GetIO();
    if (ImGui::IsItemHovered() && io.MouseWheel != 0)
        zoom = std::clamp(zoom + (io.MouseWheel > 0 ? 1 : -1), 1, 12);
    if (ImGui::IsItemActive()) {
        // Frame pixel under the mouse becomes the middle of the screen editor's view.
        float px = (io.MousePos.x - origin.x) / zoom, py = (io.MousePos.y - origin.y) / zoom;
        app.pendingScroll.x = std::max(0.0f, app.zoom * (px - app.viewArea.w / 2));
        app.pendingScroll.y = std::max(0.0f, app.zoom * (py - app.viewArea.h / 2));
    }
    if (ImGui::IsWindowFocused()) {
        if (ImGui::IsKeyPressed(ImGuiKey_R, true)) zoom = 1;
        if (ImGui::IsKeyPressed(ImGuiKey_KeypadAdd, true) ||
            ImGui::IsKeyPressed(ImGuiKey_Equal, true))
            zoom = std::min(zoom + 1, 12);
        if (ImGui::IsKeyPressed(ImGuiKey_KeypadSubtract, true) ||
            ImGui::IsKeyPressed(ImGuiKey_Minus, true))
            zoom = std::max(zoom - 1, 1);
    }

    const App::Area& v = app.viewArea;
    int g = (int)(std::fabs(std::fmod(2.0 * ImGui::GetTime(), 2.0) - 1.0) * 250.0);
    ImVec2 a(origin.x + zoom * v.x, origin.y + zoom * v.y);
    dl->AddRect(a, ImVec2(a.x + zoom * v.w, a.y + zoom * v.h), IM_COL32(g, g, g, 255));
    ImGui::End();
}
