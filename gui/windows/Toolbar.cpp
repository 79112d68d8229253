#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/Icons.h"
#include "gui/windows/Windows.h"
#include "core/CharEdit.h"
#include "core/ScreenView.h"

namespace {

const float widths[8] = {70, 80, 160, 40, 40, 40, 40, 80};
const char* const tips[4] = {"Background - F5", "Color 1 - F6", "Color 2 - F7", "Color 3 - F8"};

void drawClearDialog(App& app) {
    int& mode = app.ui.clearDialog.mode;
    char(&value)[16] = app.ui.clearDialog.value;
    const char* id = "Clear##dlg";
    // Waits while another popup shows: opening over it would close it.
    if (app.ui.clearDialog.open && Fit::NoPopupOpen()) {
        ImGui::OpenPopup(id);
        app.ui.clearDialog.open = false;
    }
    ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    if (!ImGui::BeginPopupModal(id, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    ImGui::TextUnformatted(app.editor.clearDescription().c_str());
    ImGui::Separator();
    ImGui::RadioButton("Clear to background (space / current color)", &mode, 0);
    ImGui::RadioButton("Fill with $00", &mode, 1);
    ImGui::RadioButton("Fill with $FF", &mode, 2);
    ImGui::RadioButton("Fill with value:", &mode, 3);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(80);
    ImGui::InputText("##val", value, sizeof value);
    ImGui::TextUnformatted("Are you sure?");
    if (ImGui::Button("Yes", ImVec2(90, 0))) {
        app.editor.clearScreen(ClearMode(mode), ScreenView::parseClearValue(value));
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("No", ImVec2(90, 0)) || ImGui::IsKeyPressed(ImGuiKey_Escape, true))
        ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

// A click that ends on a bar hands the keyboard back to the screen, so that its
// keys keep working; not when it opened a list, whose choice does that, or a
// window, which takes the keyboard itself.
void handBackKeyboard(App& app, bool openedWindow) {
    if (!openedWindow && !ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId) && Classic::ClickEndedOnBar())
        app.focusScreen = true;
}

}  // namespace

void drawToolbar(App& app) {
    float s = Classic::Scale();
    // Every control at its place; a main window too narrow for them scrolls the bar.
    if (!Classic::BeginBar("##toolbar", ImGuiDir_Up, 41 * s, 859 * s, true)) {
        Classic::EndBar();
        return;
    }
    const ImVec2 wp = ImGui::GetCursorScreenPos();

    // Window buttons, 23 x 22 each.
    struct WindowButton {
        const char* id;
        int icon;
        const char* label;
        const char* tip;
        bool App::*open;
        float x;
    };
    static const WindowButton buttons[] = {
        {"sv", 11, "2nd", "Second View", &App::showSecondView, 48},
        {"mo", 10, "Mon", "Monitor", &App::showMonitor, 80},
        {"sp", 12, "Spr", "Sprites", &App::showSprites, 112},
        {"se", 6, "SprEd", "Sprite Editor", &App::showSpriteEditor, 144},
        {"cs", 0, "Chr", "Charset", &App::showCharset, 176},
        {"ce", 1, "ChrEd", "Edit Charset", &App::showCharEditor, 208},
        {"rg", -1, "Reg", "Registers", &App::showRegisters, 240},
    };
    bool openedWindow = false;
    for (const WindowButton& b : buttons) {
        ImGui::SetCursorScreenPos(ImVec2(wp.x + b.x * s, wp.y + 8 * s));
        bool& open = app.*b.open;
        if (IconButton(b.id, b.icon, b.label, open, b.tip, 23, 22)) {
            open = !open;
            openedWindow |= open;
        }
    }

    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(3 * s, 2 * s));
    float textY = wp.y + ((21 - ImGui::GetTextLineHeight() / s) * 0.5f + 8) * s;
    float ctrlY = wp.y + ((21 - ImGui::GetFrameHeight() / s) * 0.5f + 8) * s;
    ImGui::SetCursorScreenPos(ImVec2(wp.x + 412 * s, textY));
    ImGui::TextUnformatted("GfxMode:");
    ImGui::SetCursorScreenPos(ImVec2(wp.x + 468 * s, ctrlY));
    ImGui::SetNextItemWidth(181 * s);
    int gm = app.machine.gfxMode();
    if (ImGui::BeginCombo("##gfxmode", gfxModeName(gm))) {
        for (int i = 0; i < GfxMode::count; ++i) {
            if (!ImGui::Selectable(gfxModeName(i), i == gm)) continue;
            app.focusScreen = true;
            BankSelect::gfxMode(app.editor, i);
        }
        ImGui::EndCombo();
    }
    ImGui::SetCursorScreenPos(ImVec2(wp.x + 660 * s, textY));
    ImGui::TextUnformatted("Zoom:");
    ImGui::SetCursorScreenPos(ImVec2(wp.x + 696 * s, ctrlY));
    ImGui::SetNextItemWidth(77 * s);
    char preview[16];
    std::snprintf(preview, sizeof preview, "%dx", app.zoom);
    if (ImGui::BeginCombo("##zoom", preview)) {
        for (int z = 1; z <= 24; ++z) {
            char item[16];
            std::snprintf(item, sizeof item, "%dx", z);
            if (ImGui::Selectable(item, z == app.zoom)) {
                app.setZoom(z, -1, -1);
                app.focusScreen = true;
            }
        }
        ImGui::EndCombo();
    }
    ImGui::PopStyleVar();
    if (app.editor.insert) {
        ImGui::SetCursorScreenPos(ImVec2(wp.x + 784 * s, textY));
        ImGui::TextUnformatted("Insert");
    }
    ImGui::SetCursorScreenPos(ImVec2(wp.x + 832 * s, wp.y + 8 * s));
    if (IconButton("hl", 8, "?", app.showHelp, "Help", 23, 22)) {
        app.showHelp = !app.showHelp;
        openedWindow |= app.showHelp;
    }
    ImGui::SetCursorScreenPos(ImVec2(wp.x + 855 * s, wp.y));
    ImGui::Dummy(ImVec2(4 * s, 1));  // a margin after it
    handBackKeyboard(app, openedWindow);
    Classic::EndBar();
}

void drawStatusBar(App& app) {
    Machine& m = app.machine;
    Editor& ed = app.editor;
    float s = Classic::Scale();
    float h = ImGui::GetTextLineHeight() + 6;
    if (h < 19 * s) h = 19 * s;
    // Each field at least as wide as its longest text; the last takes the rest of the bar. A main window
    // too narrow for them all scrolls the bar.
    const char* const longest[11] = {"Pos: 319 x 199", "Mem: 0xFFFF", "Data: %00000000  0x00  000", "", "", "", "",
                                     "Edit colors - F9", "No free colors!", "Click to drop the block, Esc cancels",
                                     "Overwrite"};
    float fw[11], length = 0;
    for (int i = 0; i < 11; ++i) {
        fw[i] = std::max((i < 8 ? widths[i] : i == 8 ? 100 : i == 9 ? 200 : 0) * s,
                         *longest[i] ? ImGui::CalcTextSize(longest[i]).x + 8 : 0.0f);
        length += fw[i];
    }
    if (Classic::BeginBar("##statusbar", ImGuiDir_Down, h, length, false)) {
        const ImVec2 wp = ImGui::GetCursorScreenPos();
        ImDrawList* dl = ImGui::GetWindowDrawList();
        const float top = wp.y + 2, bottom = wp.y + h, right = wp.x + std::max(ImGui::GetContentRegionAvail().x, length);
        int x = app.mouseX, y = app.mouseY;
        ScreenView::StatusCell cell = ScreenView::statusCell(m, x, y);
        u8 v = m.ram[cell.address];

        float fx = wp.x;
        int field = 0;
        // Draws the next field's frame and gives its rectangle.
        auto fieldRect = [&](ImVec2& a, ImVec2& b) {
            const int i = field++;
            a = ImVec2(fx, top);
            b = ImVec2(i == 10 ? right - 2 : fx + fw[i] - 2, bottom);
            Classic::ThinBevel(dl, a, b, false);
            ImGui::SetCursorScreenPos(a);
            ImGui::Dummy(ImVec2(std::max(b.x - a.x, 1.0f), std::max(b.y - a.y, 1.0f)));
            fx += fw[i];
        };
        auto text = [&](ImVec2 a, ImVec2 b, const char* t) {
            float ty = a.y + ((b.y - a.y) - ImGui::GetTextLineHeight()) * 0.5f;
            ImVec4 clip(a.x, a.y, b.x, b.y);
            dl->AddText(nullptr, 0.0f, ImVec2(a.x + 3, ty), IM_COL32(0, 0, 0, 255), t, nullptr, 0.0f, &clip);
        };
        char buf[96];
        ImVec2 a, b;

        fieldRect(a, b);
        std::snprintf(buf, sizeof buf, "Pos: %d x %d", cell.shownX, cell.shownY);
        text(a, b, buf);
        fieldRect(a, b);
        std::snprintf(buf, sizeof buf, "Mem: 0x%04X", cell.address);
        text(a, b, buf);
        fieldRect(a, b);
        char bits[9];
        for (int i = 0; i < 8; ++i) bits[i] = (v & (0x80 >> i)) ? '1' : '0';
        bits[8] = 0;
        std::snprintf(buf, sizeof buf, "Data: %%%s  0x%02X  %d", bits, v, v);
        text(a, b, buf);

        int cols[4];
        ed.cellColors(x, y, cols);
        for (int slot = 0; slot < 4; ++slot) {
            fieldRect(a, b);
            if (cols[slot] >= 0) {
                dl->AddRectFilled(ImVec2(a.x + 1, a.y + 1), ImVec2(b.x - 1, b.y - 1), app.palette.pixel(cols[slot]));
            }
            ImGui::SetCursorScreenPos(a);
            ImGui::PushID(slot);
            ImGui::InvisibleButton("col", ImVec2(b.x - a.x > 1 ? b.x - a.x : 1, b.y - a.y > 1 ? b.y - a.y : 1),
                                   ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
            bool l = ImGui::IsItemClicked(ImGuiMouseButton_Left), r = ImGui::IsItemClicked(ImGuiMouseButton_Right);
            if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s (click to cycle, right click backwards)", tips[slot]);
            ImGui::PopID();
            if (l || r) ed.cycleCellColor(slot, x, y, l ? 1 : -1);
        }
        fieldRect(a, b);
        text(a, b, "Edit colors - F9");
        fieldRect(a, b);
        if (ImGui::GetTime() < app.noColorsUntil) {
            dl->AddRectFilled(ImVec2(a.x + 1, a.y + 1), ImVec2(b.x - 1, b.y - 1), IM_COL32(255, 0, 0, 255));
            text(a, b, "No free colors!");
        }
        fieldRect(a, b);
        if (ed.pasting) text(a, b, "Click to drop the block, Esc cancels");
        fieldRect(a, b);
        text(a, b, ed.insert ? "Insert" : "Overwrite");
        handBackKeyboard(app, false);
    }
    Classic::EndBar();
    drawClearDialog(app);
}
