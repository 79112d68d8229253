#include <imgui.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/windows/Windows.h"
#include "core/Calc.h"

namespace {

int binaryFilter(ImGuiInputTextCallbackData* data) { return data->EventChar == '0' || data->EventChar == '1' ? 0 : 1; }

void refused(App& app) { app.message("Error", "Division by zero is not possible."); }

}  // namespace

void drawCalcConverter(App& app) {
    Calc& calc = app.ui.calc;
    static const char* const ops[4] = {"+", "-", "*", "/"};
    static const int opc[4] = {Calc::Add, Calc::Sub, Calc::Mul, Calc::Div};

    Fit::FirstUse(ImVec2(330, 330));
    if (!ImGui::Begin("Calc converter", &app.showCalc, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    // The fields leave room for their labels at any UI scale.
    const float s = Classic::Scale();
    float fieldW = std::max(ImGui::GetContentRegionAvail().x - ImGui::CalcTextSize("Dec").x -
                                ImGui::GetStyle().ItemInnerSpacing.x, 120 * s);

    char dec[32], hex[24], bin[40];
    std::snprintf(dec, sizeof dec, "%" PRId64, calc.value);
    std::snprintf(hex, sizeof hex, "%" PRIX64, std::uint64_t(calc.value) & 0xFFFFFFFFu);
    calc.binaryText(bin);
    ImGui::SetNextItemWidth(fieldW);
    if (ImGui::InputText("Dec", dec, sizeof dec, ImGuiInputTextFlags_CharsDecimal)) calc.setDecimal(dec);
    ImGui::SetNextItemWidth(fieldW);
    // 16 digits at most, so no text can exceed 64 bits.
    if (ImGui::InputText("Hex", hex, 17, ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_CharsUppercase))
        calc.setHex(hex);
    ImGui::SetNextItemWidth(fieldW);
    if (ImGui::InputText("Bin", bin, sizeof bin, ImGuiInputTextFlags_CallbackCharFilter, binaryFilter))
        calc.setBinary(bin);

    ImGui::TextDisabled("Hex keypad");
    const ImVec2 key(56 * s, 0);
    static const int digitRows[4][4] = {{12, 13, 14, 15}, {8, 9, 10, 11}, {4, 5, 6, 7}, {0, 1, 2, 3}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            char label[4];
            std::snprintf(label, sizeof label, "%X", digitRows[r][c]);
            if (ImGui::Button(label, key)) calc.digit(digitRows[r][c]);
            ImGui::SameLine();
        }
        if (ImGui::Button(ops[r], key) && !calc.operate(opc[r])) refused(app);
    }
    static const char* const bitOps[5] = {"OR", "AND", "XOR", "<<", ">>"};
    static const int bitOpc[5] = {Calc::Or, Calc::And, Calc::Xor, Calc::Shl, Calc::Shr};
    for (int i = 0; i < 5; ++i) {
        if (i) ImGui::SameLine();
        if (ImGui::Button(bitOps[i], key) && !calc.operate(bitOpc[i])) refused(app);
    }
    if (ImGui::Button("NOT", key)) calc.complement();
    ImGui::SameLine();
    if (ImGui::Button("+/-", key)) calc.negate();
    ImGui::SameLine();
    if (ImGui::Button("=", key) && !calc.equals()) refused(app);
    ImGui::SameLine();
    if (ImGui::Button("C##clear", key)) calc.clear();
    if (ImGui::Button("MS", key)) calc.memoryStore();
    ImGui::SameLine();
    if (ImGui::Button("MR", key)) calc.memoryRecall();
    ImGui::SameLine();
    if (ImGui::Button("M+", key)) calc.memoryAdd();
    ImGui::SameLine();
    bool cleared = ImGui::Button("MC", key);
    if (cleared) calc.memoryClear();
    if (!cleared && calc.mem != 0)
        ImGui::TextDisabled("M = %" PRId64 " ($%" PRIX64 ")", calc.mem, std::uint64_t(calc.mem) & 0xFFFFFFFFu);
    ImGui::End();
}
