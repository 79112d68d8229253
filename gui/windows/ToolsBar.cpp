#include <imgui.h>

#include <cstdio>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Icons.h"
#include "gui/windows/Windows.h"
#include "core/CharEdit.h"
#include "core/ScreenView.h"

namespace {

struct ToolButton {
    float x, y;
    const char* id;
    int icon;
    const char* label;
    Editor::Tool tool;
    const char* tip;
};

const ToolButton kTools[] = {
    {18, 4, "t0", 13, "Txt", Editor::ToolText, "Text (T)"},
    {18, 33, "t1", 4, "Dot", Editor::ToolDot, "Draw Dot (D)"},
    {18, 62, "t2", 5, "Draw", Editor::ToolFreehand, "Draw (P)"},
    {18, 91, "t3", 9, "Line", Editor::ToolLine, "Draw Line (L)"},
    {18, 120, "t4", 2, "Circ", Editor::ToolCircle, "Circle (O)\nShift: ellipse"},
    {18, 149, "t5", 3, "Box", Editor::ToolRect, "Rectangle (B)\nShift: square"},
    {18, 178, "t6", 7, "Fill", Editor::ToolFill, "Flood Fill (F)"},
    {4, 545, "t7", 14, "Sel", Editor::ToolSelect, "Select block (S)\nCtrl+C/X/V copy, cut, paste\nX/Y flip, I invert, Del clear"},
    {32, 545, "t8", 15, "Move", Editor::ToolMoveView, "Move view (hold Space)"},
};

}  // namespace

void drawTools(App& app) {
    Editor& ed = app.editor;
    Machine& m = app.machine;
    float s = Classic::Scale();
    // Taller than its space (a large UI scale, a low window), the tools scroll.
    if (!Classic::BeginBar("##tools", ImGuiDir_Left, 61 * s, 599 * s, true)) {
        Classic::EndBar();
        return;
    }
    ImVec2 wp = ImGui::GetCursorScreenPos();
    ImDrawList* dl = ImGui::GetWindowDrawList();
    auto at = [&](float x, float y) { return ImVec2(wp.x + x * s, wp.y + y * s); };

    for (const ToolButton& b : kTools) {
        ImGui::SetCursorScreenPos(at(b.x, b.y));
        if (IconButton(b.id, b.icon, b.label, ed.tool == b.tool, b.tip, 25, 25)) {
            ed.tool = b.tool;
            if (b.tool == Editor::ToolText) ed.textUndoPending = true;
        }
    }
    for (int i = 1; i <= 4; ++i) {
        char id[8], tip[48];
        std::snprintf(id, sizeof id, "b%d", i);
        std::snprintf(tip, sizeof tip, "Brush %d (A / Z to change)", i);
        ImGui::SetCursorScreenPos(at(18, 220 + 29.0f * (i - 1)));
        if (IconButton(id, 15 + i, "o", ed.brush == i, tip, 25, 25)) ed.brush = i;
    }

    ImGui::SetCursorScreenPos(at(4, 574));
    if (Classic::SpeedButton("##filled", nullptr, "Filled", ed.filled, ImVec2(53 * s, 20 * s),
                             "Draw circles and rectangles filled"))
        ed.filled = !ed.filled;

    // Palette: the two current colours, then 8 rows of two cells.
    Classic::ThinBevel(dl, at(8, 344), at(53, 537), false);
    ImVec2 P = at(9, 345);
    auto pt = [&](float x, float y) { return ImVec2(P.x + x * s, P.y + y * s); };
    ImU32 black = IM_COL32(0, 0, 0, 255);
    int bg = m.vic[VicReg::Background0] & 15, pen = m.pen & 15;
    dl->AddRectFilled(pt(8, 5), pt(26, 23), app.palette.pixel(bg));
    dl->AddRect(pt(8, 5), pt(26, 23), black);
    dl->AddRectFilled(pt(16, 13), pt(34, 31), app.palette.pixel(pen));
    dl->AddRect(pt(16, 13), pt(34, 31), black);
    for (int i = 0; i < 8; ++i) {
        for (int c = 0; c < 2; ++c) {
            int colour = 2 * i + c;
            float x0 = c ? 24.0f : 5.0f, x1 = c ? 38.0f : 19.0f;
            float y0 = 40.0f + 19 * i, y1 = 54.0f + 19 * i;
            dl->AddRectFilled(pt(x0, y0), pt(x1, y1), app.palette.pixel(colour));
            dl->AddRect(pt(x0, y0), pt(x1, y1), black);
            if (colour == pen || colour == bg) dl->AddRect(pt(x0 - 2, y0 - 2), pt(x1 + 2, y1 + 2), black);
        }
    }
    ImGui::SetCursorScreenPos(P);
    ImGui::InvisibleButton("##pal", ImVec2(43 * s, 191 * s),
                           ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
    bool left = ImGui::IsItemClicked(ImGuiMouseButton_Left);
    bool right = ImGui::IsItemClicked(ImGuiMouseButton_Right);
    if (left || right) {
        ImVec2 mp = ImGui::GetIO().MousePos;
        int colour = ScreenView::toolsPaletteColor((mp.x - P.x) / s, (mp.y - P.y) / s);
        if (colour >= 0) {
            if (left) {
                m.pen = colour;
            } else {
                BankSelect::setRegister(app.editor, VicReg::Background0, colour, "background color");
            }
        }
    }
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("Left click: drawing color %d\nRight click: background $D021 = %d", m.pen & 15,
                          m.vic[VicReg::Background0] & 15);
    ImGui::SetCursorScreenPos(at(0, 598));
    ImGui::Dummy(ImVec2(1, 1));
    // Any click here hands the keyboard back to the screen, so the tool keys keep working.
    if (Classic::ClickEndedOnBar()) app.focusScreen = true;
    Classic::EndBar();
}
