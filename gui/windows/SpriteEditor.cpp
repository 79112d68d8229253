#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "app/App.h"
#include "gui/Classic.h"
#include "gui/Fit.h"
#include "gui/Canvas.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "core/CharEdit.h"
#include "core/Sprites.h"
#include "core/Vic.h"
#include "app/FileActions.h"

namespace {

void spritesMenu(App& app, int block) {
    if (!ImGui::BeginMenu("Sprites")) return;
    Machine& m = app.machine;
    static const char* const banks[4] = {"$0000 - $3FFF", "$4000 - $7FFF", "$8000 - $BFFF", "$C000 - $FFFF"};
    Widgets::VicBankMenu(app, "Select VIC bank", banks);
    if (ImGui::MenuItem("Clear all sprites")) {
        Sprites::clearAll(m, app.undoBuffer);
    }
    if (ImGui::MenuItem("Load sprites...")) Actions::loadSprites(app);
    if (ImGui::MenuItem("Save sprites...")) {
        app.saveSpritesFirst = app.saveSpritesLast = block;
        app.saveSpritesOpen = true;
    }
    ImGui::EndMenu();
}

void editMenu(App& app, int block) {
    if (!ImGui::BeginMenu("Edit")) return;
    using Sprites::Edit;
    auto run = [&](Edit op) {
        Sprites::edit(app.machine, app.undoBuffer, block, op, app.ui.spriteEditor.clip);
    };
    if (ImGui::MenuItem("Cut")) run(Edit::Cut);
    if (ImGui::MenuItem("Copy")) run(Edit::Copy);
    if (ImGui::MenuItem("Paste")) run(Edit::Paste);
    ImGui::Separator();
    if (ImGui::MenuItem("Clear")) run(Edit::Clear);
    ImGui::Separator();
    if (ImGui::MenuItem("Invert")) run(Edit::Invert);
    if (ImGui::MenuItem("Flip")) run(Edit::Flip);
    if (ImGui::MenuItem("Mirror")) run(Edit::Mirror);
    ImGui::EndMenu();
}

void selectMenus(App& app, int block, bool multicolor) {
    Machine& m = app.machine;
    const int pointers = m.spritePointerAddr();
    char label[32];
    if (ImGui::BeginMenu("Select")) {
        for (int n = 0; n < 8; ++n) {
            int ptr = m.ram[u16(pointers + n)];
            std::snprintf(label, sizeof label, "Sprite %d ($%02X)", n, ptr);
            if (ImGui::MenuItem(label)) {
                app.spriteBlock = ptr;
                app.spriteColor = m.vic[VicReg::SpriteColor0 + n] & 15;
            }
        }
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Assign to")) {
        for (int n = 0; n < 8; ++n) {
            std::snprintf(label, sizeof label, "Sprite %d", n);
            if (ImGui::MenuItem(label)) {
                Sprites::assign(m, app.undoBuffer, n, block, app.spriteColor, multicolor);
            }
        }
        ImGui::EndMenu();
    }
}

// Arrows, block number, address with the sprites that show it, and the mode.
void blockLine(App& app) {
    Machine& m = app.machine;
    int block = app.spriteBlock & 0xFF;
    if (ImGui::ArrowButton("##prev", ImGuiDir_Left)) block = (block - 1) & 0xFF;
    ImGui::SameLine();
    int v = block;
    if (Widgets::HexByteInput("##nr", v, 32 * Classic::Scale())) block = v & 0xFF;
    ImGui::SameLine();
    if (ImGui::ArrowButton("##next", ImGuiDir_Right)) block = (block + 1) & 0xFF;
    app.spriteBlock = block;

    // Each piece goes on to the next line when the window is too narrow for it.
    char buf[24];
    std::snprintf(buf, sizeof buf, "$%04X", Sprites::blockAddress(m, block));
    Fit::SameLineIfFits(ImGui::CalcTextSize(buf).x);
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(buf);
    const int pointers = m.spritePointerAddr();
    for (int n = 0; n < 8; ++n)
        if (m.ram[u16(pointers + n)] == block) {
            std::snprintf(buf, sizeof buf, "(SPRITE %d)", n);
            Fit::SameLineIfFits(ImGui::CalcTextSize(buf).x);
            ImGui::AlignTextToFramePadding();
            ImGui::TextUnformatted(buf);
        }
    Fit::SameLineIfFits(Fit::CheckboxWidth("Multicolor"));
    // The mode belongs to the sprites that show the block: with none there is nothing to set.
    bool multicolor = Sprites::blockIsMulticolor(m, block);
    ImGui::BeginDisabled(Sprites::firstUser(m, block) < 0);
    if (ImGui::Checkbox("Multicolor", &multicolor)) {
        Sprites::setMulticolor(m, app.undoBuffer, block, multicolor);
    }
    ImGui::EndDisabled();
}

}  // namespace

void drawSpriteEditor(App& app) {
    static Canvas canvas;
    Sprites::Stroke& stroke = app.ui.spriteEditor.stroke;
    Machine& m = app.machine;
    Fit::FirstUse(ImVec2(460, 420));
    if (!ImGui::Begin("Sprite editor", &app.showSpriteEditor, ImGuiWindowFlags_MenuBar | ImGuiWindowFlags_HorizontalScrollbar)) {
        stroke.active = false;
        ImGui::End();
        return;
    }
    if (!canvas.tex.live()) {
        canvas.resize(24, 21);
        canvas.upload();
    }
    int block = app.spriteBlock & 0xFF;
    if (ImGui::BeginMenuBar()) {
        spritesMenu(app, block);
        editMenu(app, block);
        selectMenus(app, block, Sprites::blockIsMulticolor(m, block));
        ImGui::EndMenuBar();
    }
    blockLine(app);

    block = app.spriteBlock & 0xFF;
    const int user = Sprites::firstUser(m, block);
    const bool multicolor = Sprites::blockIsMulticolor(m, block);
    if (user >= 0) app.spriteColor = m.vic[VicReg::SpriteColor0 + user] & 15;
    int& pen = app.spritePen;
    pen = std::clamp(pen, 1, 3);

    ImGui::BeginGroup();
    int shown = multicolor && pen == 1 ? m.vic[VicReg::SpriteMulticolor0] & 15 : multicolor && pen == 3 ? m.vic[VicReg::SpriteMulticolor1] & 15 : app.spriteColor;
    int clicked = 0;
    bool right = false;
    if (Widgets::PaletteGrid("sprpal", app, shown, m.vic[VicReg::Background0] & 15, clicked, right, 16, 2)) {
        Sprites::pickColor(m, app.undoBuffer, block, pen, app.spriteColor, clicked, right);
    }
    if (multicolor) {
        const int colors[3] = {m.vic[VicReg::SpriteMulticolor0] & 15, app.spriteColor & 15,
                               m.vic[VicReg::SpriteMulticolor1] & 15};
        static const char* const labels[3] = {"Color 1 ($D025)", "Color 2 (sprite)", "Color 3 ($D026)"};
        Widgets::PenChoices(app, pen, colors, labels);
    }
    // Both pictures show the canvas as uploaded at the end of this function.
    ImagePixels(canvas.tex, ImVec2(48, 42));
    ImGui::EndGroup();
    ImGui::SameLine();

    ImVec2 avail = ImGui::GetContentRegionAvail();
    int z = std::max(4, (int)std::min(avail.x / 24, avail.y / 21));
    ImVec2 p = ImGui::GetCursorScreenPos();
    ImVec2 end(p.x + 24.0f * z, p.y + 21.0f * z);
    ImDrawList* dl = ImGui::GetWindowDrawList();
    dl->AddRectFilled(ImVec2(p.x - 2, p.y - 2), ImVec2(end.x + 2, end.y + 2), app.palette.pixel(m.vic[VicReg::Border]));
    DrawPixels(dl, canvas.tex, p, end);
    // Reachable by keyboard navigation, as every other control.
    ImGui::InvisibleButton("##sprgrid", ImVec2(24.0f * z, 21.0f * z),
                           ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight |
                               ImGuiButtonFlags_EnableNav);
    for (int i = 1; i < 24; ++i) {
        float x = p.x + float(i * z);
        int alpha = multicolor && (i & 1) ? 20 : 60;
        dl->AddRectFilled(ImVec2(x, p.y), ImVec2(x + 1, end.y), IM_COL32(0, 0, 0, alpha));
    }
    for (int j = 1; j < 21; ++j) {
        float y = p.y + float(j * z);
        dl->AddRectFilled(ImVec2(p.x, y), ImVec2(end.x, y + 1), IM_COL32(0, 0, 0, 60));
    }

    bool left = ImGui::IsMouseClicked(ImGuiMouseButton_Left), rightDown = ImGui::IsMouseClicked(ImGuiMouseButton_Right);
    if (ImGui::IsItemHovered() && (left || rightDown)) {
        Sprites::beginStroke(stroke, m, app.undoBuffer, block, !left);
    }
    if (stroke.active) {
        ImVec2 mouse = ImGui::IsMousePosValid() ? ImGui::GetIO().MousePos : p;
        int cx = std::clamp((int)((mouse.x - p.x) / z), 0, 23);
        int cy = std::clamp((int)((mouse.y - p.y) / z), 0, 20);
        Sprites::strokeTo(stroke, m, app.undoBuffer, block, multicolor, pen, cx, cy);
        if (!ImGui::IsMouseDown(ImGuiMouseButton_Left) && !ImGui::IsMouseDown(ImGuiMouseButton_Right))
            stroke.active = false;
    }

    // Drawn again only when the sprite or its colours changed.
    const u8* data = m.ram + Sprites::blockAddress(m, block);
    const int looks[2] = {app.spriteColor, multicolor};
    const Palette& pal = app.palette;
    canvas.redraw(24, 21, {{data, 63}, {m.vic, sizeof m.vic}, {looks, sizeof looks}, {pal.rgb, sizeof pal.rgb}},
                  [&](u32* pixels) {
                      std::fill_n(pixels, 24 * 21, pal.pixel(m.vic[VicReg::Background0]));
                      Vic::renderSprite(m, pal, u8(block), u8(app.spriteColor), m.vic[VicReg::Background0], multicolor,
                                        pixels, 24);
                  });
    ImGui::End();
}
