#include <imgui.h>

#include <algorithm>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "core/CharEdit.h"
#include "core/Registers.h"

void drawRegisterView(App& app) {
    Machine& m = app.machine;
    Fit::FirstUse(ImVec2(420, 600));
    if (!ImGui::Begin("Registers", &app.showRegisters, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    float s = Classic::Scale();
    const ImGuiStyle& st = ImGui::GetStyle();
    // The descriptions keep their room: a narrower window scrolls the table sideways.
    static float descFont = 0, descWidth = 0;
    if (descFont != ImGui::GetFontSize()) {
        descFont = ImGui::GetFontSize();
        descWidth = 0;
        for (int i = 0; i < Registers::Count; ++i)
            descWidth = std::max(descWidth, ImGui::CalcTextSize(Registers::description(i)).x);
        descWidth += 14 + st.ItemSpacing.x;  // the colour registers' swatch
    }
    const float needed = (44 + 40 + 70) * s + descWidth + 8 * st.CellPadding.x;
    const ImGuiTableFlags flags =
        ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_ScrollY | ImGuiTableFlags_ScrollX;
    if (ImGui::BeginTable("regs", 4, flags, ImVec2(0, 0),
                          std::max(needed, ImGui::GetContentRegionAvail().x - st.ScrollbarSize))) {
        ImGui::TableSetupScrollFreeze(0, 1);
        ImGui::TableSetupColumn("Reg", ImGuiTableColumnFlags_WidthFixed, 44 * s);
        ImGui::TableSetupColumn("Value", ImGuiTableColumnFlags_WidthFixed, 40 * s);
        ImGui::TableSetupColumn("Bits", ImGuiTableColumnFlags_WidthFixed, 70 * s);
        ImGui::TableSetupColumn("Description", ImGuiTableColumnFlags_WidthStretch);
        ImGui::TableHeadersRow();
        for (int i = 0; i < Registers::Count; ++i) {
            ImGui::TableNextRow();
            ImGui::PushID(i);
            ImGui::TableNextColumn();
            ImGui::AlignTextToFramePadding();
            ImGui::Text("D0%02X", i);
            ImGui::TableNextColumn();
            int v = m.vic[i];
            if (Widgets::HexByteInput("##v", v, 36 * s)) BankSelect::setRegister(app.editor, i, v, "register change");
            ImGui::TableNextColumn();
            ImGui::AlignTextToFramePadding();
            ImGui::TextUnformatted(Registers::bits(m.vic[i]).c_str());
            ImGui::TableNextColumn();
            ImGui::AlignTextToFramePadding();
            if (i >= VicReg::Border) {  // the colour registers
                Widgets::ColorSwatch(app, m.vic[i] & 15, ImVec2(14, 12));
                ImGui::SameLine();
            }
            ImGui::TextUnformatted(Registers::description(i));
            ImGui::PopID();
        }
        ImGui::EndTable();
    }
    ImGui::End();
}
