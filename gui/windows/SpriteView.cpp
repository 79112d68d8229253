#include <imgui.h>

#include <algorithm>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/Canvas.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "core/Sprites.h"
#include "core/Vic.h"
#include "app/FileActions.h"

void drawSpriteView(App& app) {
    static Canvas canvas;
    Machine& m = app.machine;
    Fit::FirstUse(ImVec2(640, 160));
    if (!ImGui::Begin("Sprites", &app.showSprites, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGui::End();
        return;
    }
    int z = std::clamp((int)(ImGui::GetContentRegionAvail().x / 224), 1, 4);

    const int pointers = m.spritePointerAddr();
    // The strip is drawn again only when the sprites or their colours changed.
    const u32 bg = app.palette.pixel(m.vic[VicReg::Background0]);
    canvas.redrawMachine(m, {app.palette.rgb, sizeof app.palette.rgb}, 220, 21, [&](u32* pixels) {
        std::fill_n(pixels, 220 * 21, 0u);
        for (int n = 0; n < 8; ++n) {
            u32* cell = pixels + 28 * n;
            for (int y = 0; y < 21; ++y) std::fill(cell + y * 220, cell + y * 220 + 24, bg);
            Vic::renderSprite(m, app.palette, m.ram[u16(pointers + n)], m.vic[VicReg::SpriteColor0 + n],
                              m.vic[VicReg::Background0], (m.vic[VicReg::SpriteMulticolor] >> n) & 1, cell, 220);
        }
    });

    ImVec2 p = ImGui::GetCursorScreenPos();
    ImagePixels(canvas.tex, ImVec2(220.0f * z, 21.0f * z));
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("Click to edit the sprite");
    if (ImGui::IsItemClicked(ImGuiMouseButton_Left)) {
        int n = std::clamp((int)((ImGui::GetIO().MousePos.x - p.x) / z) / 28, 0, 7);
        app.spriteBlock = m.ram[u16(pointers + n)];
        app.spriteColor = m.vic[VicReg::SpriteColor0 + n] & 15;
        app.showSpriteEditor = true;
    }

    float s = Classic::Scale();
    // Each pointer with its address wholly shown: a narrower window scrolls.
    const ImGuiStyle& st = ImGui::GetStyle();
    const float cell = ImGui::CalcTextSize("7:").x + ImGui::CalcTextSize("$DDDD").x /* the widest address */ + 32 * s +
                       2 * st.ItemSpacing.x + 4 * st.CellPadding.x;
    if (ImGui::BeginTable("ptrs", 4, ImGuiTableFlags_SizingStretchSame,
                          ImVec2(std::max(ImGui::GetContentRegionAvail().x, 4 * cell), 0))) {
        for (int n = 0; n < 8; ++n) {
            ImGui::TableNextColumn();
            ImGui::PushID(n);
            int ptr = m.ram[u16(pointers + n)];
            ImGui::AlignTextToFramePadding();
            ImGui::Text("%d:", n);
            ImGui::SameLine();
            int v = ptr;
            if (Widgets::HexByteInput("##ptr", v, 32 * s) && v != ptr) {
                Sprites::setPointer(m, app.undoBuffer, n, v);
            }
            ImGui::SameLine();
            ImGui::TextDisabled("$%04X", Sprites::blockAddress(m, ptr));
            ImGui::PopID();
        }
        ImGui::EndTable();
    }
    ImGui::End();
}

void drawSaveSpritesDialog(App& app) {
    int& format = app.ui.saveSprites.format;
    const char* id = "Save sprites";
    // Waits while another popup shows: opening over it would close it.
    if (app.saveSpritesOpen && Fit::NoPopupOpen()) {
        ImGui::OpenPopup(id);
        app.saveSpritesOpen = false;
    }
    ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    if (!ImGui::BeginPopupModal(id, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    Machine& m = app.machine;
    int& first = app.saveSpritesFirst;
    int& last = app.saveSpritesLast;
    float s = Classic::Scale();
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("From sprite $");
    ImGui::SameLine();
    Widgets::HexByteInput("##first", first, 32 * s);
    ImGui::SameLine();
    ImGui::TextUnformatted("to $");
    ImGui::SameLine();
    Widgets::HexByteInput("##last", last, 32 * s);
    first = std::clamp(first, 0, 255);
    last = std::clamp(last, first, 255);
    ImGui::TextDisabled("%s", Sprites::rangeText(m, first, last).c_str());
    if (ImGui::SmallButton("Current")) first = last = app.spriteBlock & 0xFF;
    ImGui::SameLine();
    if (ImGui::SmallButton("The 8 sprites")) Sprites::pointerRange(m, first, last);
    ImGui::RadioButton("PRG file (with load address)", &format, 0);
    ImGui::RadioButton("Raw sprite data (.bin, 64 bytes per sprite)", &format, 1);
    if (ImGui::Button("Save...", ImVec2(90 * s, 0))) {
        Actions::saveSprites(app, first, last, format == 0);
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel", ImVec2(90 * s, 0)) || ImGui::IsKeyPressed(ImGuiKey_Escape, true))
        ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}
