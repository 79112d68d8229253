#include <imgui.h>

#include <string>

#include "app/App.h"
#include "gui/Fit.h"
#include "gui/Canvas.h"
#include "gui/windows/Windows.h"
#include "core/MemoryBitmap.h"

void drawBitmapMemView(App& app) {
    int& oneBit = app.ui.bitmapMem.oneBit;
    int& widthSel = app.ui.bitmapMem.widthSel;
    static Canvas canvas;
    const Machine& m = app.machine;
    Fit::FirstUse(ImVec2(680, 500));
    if (!ImGui::Begin("Memory bitmap", &app.showBitmapMem, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    ImGui::RadioButton("8 bit", &oneBit, 0);
    ImGui::SameLine();
    ImGui::RadioButton("1 bit", &oneBit, 1);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(100);
    ImGui::Combo("Width", &widthSel, "160\0" "320\0" "640\0" "1280\0");

    const int w = MemoryBitmap::widths[widthSel], h = MemoryBitmap::height(oneBit, w);
    // Up to half a million pixels: drawn again only when memory or the settings changed.
    canvas.redraw(w, h, {{m.ram, sizeof m.ram}, {&oneBit, sizeof oneBit}, {&widthSel, sizeof widthSel}},
                  [&](u32* pixels) { MemoryBitmap::render(m.ram, oneBit, w, pixels); });

    ImVec2 p = ImGui::GetCursorScreenPos();
    ImagePixels(canvas.tex, ImVec2(float(w), float(h)));
    if (ImGui::IsItemHovered()) {
        ImVec2 mouse = ImGui::GetIO().MousePos;
        std::string tip = MemoryBitmap::hoverText(m.ram, oneBit, w, (int)(mouse.x - p.x), (int)(mouse.y - p.y));
        if (!tip.empty()) ImGui::SetTooltip("%s", tip.c_str());
    }
    ImGui::End();
}
