#include <imgui.h>

#include <cstdio>
#include <string>

#include "app/App.h"
#include "gui/Fit.h"
#include "gui/windows/Windows.h"
#include "core/CharsetConvert.h"
#include "core/ScreenCodes.h"

void drawCharsetConverter(App& app) {
    int& slot = app.ui.charsetConverter.slot;
    bool& merge = app.ui.charsetConverter.merge;
    std::string& result = app.ui.charsetConverter.result;
    Machine& m = app.machine;

    std::string problems[8];
    for (int s = 0; s < 8; ++s) problems[s] = CharsetSlotProblem(m, s);
    if (slot < 0) {
        slot = 0;
        for (int s = 0; s < 8; ++s)
            if (problems[s].empty()) {
                slot = s;
                break;
            }
    }
    Fit::FirstUse(ImVec2(440, 300));
    if (!ImGui::Begin("Convert bitmap to charset", &app.showCharsetConverter, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    Fit::PushWrapAtEdge();
    ImGui::TextUnformatted(
        "Turns the bitmap on screen into a character set and a text screen. Hires becomes normal text mode, "
        "multicolor becomes multicolor text mode. Identical 8x8 cells share a character.");
    ImGui::PopTextWrapPos();
    int base = m.bankBase();
    char preview[64];
    std::snprintf(preview, sizeof preview, "%d: $%04X-$%04X", slot + 1, base + slot * 0x800, base + slot * 0x800 + 0x7FF);
    ImGui::SetNextItemWidth(260);
    if (ImGui::BeginCombo("Charset at", preview)) {
        for (int s = 0; s < 8; ++s) {
            char item[160];
            bool bad = !problems[s].empty();
            std::snprintf(item, sizeof item, "%d: $%04X-$%04X%s%s", s + 1, base + s * 0x800, base + s * 0x800 + 0x7FF,
                          bad ? "  - " : "", problems[s].c_str());
            if (ImGui::Selectable(item, s == slot, bad ? ImGuiSelectableFlags_Disabled : 0)) slot = s;
        }
        ImGui::EndCombo();
    }
    // The long labels wrap in a narrow window.
    ImGui::Checkbox("##merge", &merge);
    ImGui::SameLine();
    Fit::PushWrapAtEdge();
    ImGui::TextUnformatted("Merge similar characters when more than 256 are needed");
    ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
    ImGui::Text("The video matrix stays at $%04X. Color memory is rewritten.", m.screenAddr());
    ImGui::PopStyleColor();
    ImGui::PopTextWrapPos();
    bool bitmap = m.bitmapMode();
    // The bank or layout may have changed since the slot was chosen.
    bool slotOk = problems[slot].empty();
    if (!bitmap || !slotOk) ImGui::BeginDisabled();
    bool convert = ImGui::Button("Convert", ImVec2(110, 0));
    if (!bitmap || !slotOk) ImGui::EndDisabled();
    if (!bitmap) {
        ImGui::SameLine();
        ImGui::TextDisabled("Switch to a bitmap mode first.");
    } else if (!slotOk) {
        ImGui::SameLine();
        ImGui::TextDisabled("Choose another charset position.");
    }
    if (convert) {
        CharsetConversionResult r = ConvertBitmapToCharsetWithUndo(m, app.palette, app.undoBuffer, slot, merge);
        if (!r.ok) {
            result = r.error;
        } else {
            char buf[256];
            std::snprintf(buf, sizeof buf,
                          "Done: %d different cells, %d characters used.\n%d cells use a similar character.\n%d cells "
                          "had colors that don't fit the text mode.",
                          r.uniqueCells, r.charCount, r.mergedCells, r.inexactCells);
            result = buf;
        }
    }
    if (!result.empty()) {
        Fit::PushWrapAtEdge();
        ImGui::TextUnformatted(result.c_str());
        ImGui::PopTextWrapPos();
    }
    ImGui::End();
}
