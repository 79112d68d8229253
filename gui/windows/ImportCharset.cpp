// The "Import charset from font" window: the rendered glyphs show live in memory.
#include <imgui.h>

#include "app/App.h"
#include "gui/Fit.h"
#include "gui/windows/Windows.h"
#include "app/FileActions.h"
#include "app/ImportActions.h"

void drawImportCharset(App& app) {
    ImportFontState& s = app.ui.importFont;
    if (!s.started && !beginFontImport(app, s)) return;

    bool open = true, ok = false, cancel = false;
    // A dialog of its own: it floats, no larger than the main window.
    Fit::FirstUse(ImVec2(380, 330));
    Fit::LimitFloatingWindow();
    if (ImGui::Begin("Import charset from font", &open, ImGuiWindowFlags_HorizontalScrollbar | ImGuiWindowFlags_NoDocking)) {
        if (ImGui::Button("Choose font..."))
            FileIO::open(app.ui.fileDialog, "Choose font", {{"Fonts (*.ttf;*.otf)", {"ttf", "otf"}}, FileIO::allFiles},
                         [&app](const std::string& name, Bytes& bytes) {
                             ImportFontState& f = app.ui.importFont;
                             if (!loadFont(f, name, bytes))
                                 app.message("Error", name + " is not a usable font: " + f.error + ".");
                         });
        ImGui::SameLine();
        ImGui::TextDisabled("%s", s.name.empty() ? "(no font)" : s.loaded == 1 ? s.name.c_str() : "not a font!");

        s.dirty |= ImGui::SliderInt("Size", &s.size, 4, 16, "%d");
        s.dirty |= ImGui::SliderInt("X offset", &s.xOffset, -4, 4, "%d");
        s.dirty |= ImGui::SliderInt("Y offset", &s.yOffset, -4, 4, "%d");
        s.dirty |= ImGui::SliderInt("Threshold", &s.threshold, 1, 255, "%d");
        clampFontSettings(s);
        s.dirty |= ImGui::Checkbox("Capital letters", &s.capitals);
        s.dirty |= ImGui::Checkbox("Small letters", &s.smallLetters);
        s.dirty |= ImGui::Checkbox("Numbers", &s.numbers);
        s.dirty |= ImGui::Checkbox("Symbols", &s.symbols);
        ImGui::TextDisabled("The result is shown in the Character set window.");
        ok = ImGui::Button("OK", ImVec2(100, 0));
        ImGui::SameLine();
        cancel = ImGui::Button("Cancel", ImVec2(100, 0));
    }
    ImGui::End();

    renderFontImport(app, s);
    if (cancel || !open) endFontImport(app, s, false);
    else if (ok) endFontImport(app, s, true);
}
