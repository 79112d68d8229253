#include <imgui.h>

#include "app/App.h"
#include "gui/Fit.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"

void drawPreferences(App& app) {
    Fit::FirstUse(ImVec2(420, 460));
    if (!ImGui::Begin("Preferences", &app.showPreferences, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    bool changed = false;
    ImGui::SeparatorText("Editor");
    changed |= ImGui::Checkbox("Show grid", &app.showGrid);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(120);
    changed |= ImGui::SliderInt("Grid color", &app.gridColor, 0, 15, "%d");
    app.gridColor &= 15;
    ImGui::SameLine();
    Widgets::ColorSwatch(app, app.gridColor, ImVec2(18, 14));
    changed |= ImGui::Checkbox("Show active char when drawing", &app.showActiveChar);
    if (ImGui::Checkbox("Don't replace colors in multicolor cells", &app.dontReplaceColors)) {
        app.editor.pixels.noNewColours = app.dontReplaceColors;
        changed = true;
    }

    ImGui::SeparatorText("Custom palette");
    Palette& pal = app.palette;
    for (int i = 0; i < 16; ++i) {
        ImGui::PushID(i);
        float c[3] = {pal.custom[i][0] / 255.0f, pal.custom[i][1] / 255.0f, pal.custom[i][2] / 255.0f};
        if (ImGui::ColorEdit3("##c", c, ImGuiColorEditFlags_NoInputs | ImGuiColorEditFlags_NoLabel)) {
            for (int k = 0; k < 3; ++k) pal.custom[i][k] = u8(int(c[k] * 255 + 0.5f));
            if (app.paletteIndex == 10) pal.set(10);
            changed = true;
        }
        ImGui::PopID();
        if (i % 8 != 7) ImGui::SameLine();
    }
    if (ImGui::Button("Copy current palette to custom")) {
        for (int i = 0; i < 16; ++i)
            for (int k = 0; k < 3; ++k) pal.custom[i][k] = pal.rgb[i][k];
        changed = true;
    }
    ImGui::SameLine();
    if (ImGui::Button("Use custom palette")) app.setPalette(10);
    ImGui::End();
    if (changed) app.saveSettings();
}
