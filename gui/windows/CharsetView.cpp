// The character set window, its bank menus and the character editor.
#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/App.h"
#include "app/CharsetActions.h"
#include "gui/Fit.h"
#include "gui/Canvas.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "core/CharEdit.h"
#include "core/Vic.h"
#include "app/FileActions.h"

namespace {

bool multicolor(const Machine& m) { return (m.vic[VicReg::Control2] & VicReg::Control2Mcm) != 0; }

// The colours a character is shown in: background, then the hires
// foreground or the three multicolour ones.
void charColors(const App& app, bool multi, u32 colors[4]) {
    const Machine& m = app.machine;
    const Palette& p = app.palette;
    colors[0] = p.pixel(m.vic[VicReg::Background0] & 15);
    if (multi) {
        colors[1] = p.pixel(m.vic[VicReg::Background1] & 15);
        colors[2] = p.pixel(m.vic[VicReg::Background2] & 15);
        colors[3] = p.pixel(m.pen & 7);
    } else {
        colors[1] = p.pixel(m.pen & 15);
        colors[2] = colors[3] = colors[1];
    }
}

void multiCheckbox(App& app) {
    bool multi = multicolor(app.machine);
    if (ImGui::Checkbox("Multi", &multi)) BankSelect::multicolor(app.editor, multi);
}

// A left pick on a palette sets the drawing colour, kept multicolour where that matters.
void pickPen(App& app, int picked, bool multi) {
    app.machine.pen = multi ? CharEdit::multiPen(app.machine, picked) : picked & 15;
}

}  // namespace

void bankMenus(App& app) {
    Machine& m = app.machine;
    static const char* const banks[4] = {"VIC bank 1 $0000", "VIC bank 2 $4000", "VIC bank 3 $8000",
                                         "VIC bank 4 $C000"};
    Widgets::VicBankMenu(app, "Select VIC bank", banks);
    if (ImGui::BeginMenu("Charset")) {
        int base = m.bankBase(), current = (m.vic[VicReg::MemoryPointers] >> 1) & 7;
        bool romBank = m.bank == 0 || m.bank == 2;
        for (int s = 0; s < 8; ++s) {
            char label[48];
            std::snprintf(label, sizeof label, "%d ($%04X-$%04X)%s", s + 1, base + s * 0x800, base + s * 0x800 + 0x7FF,
                          romBank && (s == 2 || s == 3) ? " ROM" : "");
            if (ImGui::MenuItem(label, nullptr, s == current)) BankSelect::charsetSlot(app.editor, s);
        }
        ImGui::EndMenu();
    }
}

void drawCharsetView(App& app) {
    static Canvas canvas;
    Machine& m = app.machine;
    Fit::FirstUse(ImVec2(560, 260));
    bool visible = ImGui::Begin("Character set", &app.showCharset, ImGuiWindowFlags_MenuBar | ImGuiWindowFlags_HorizontalScrollbar);
    if (!visible) {
        ImGui::End();
        return;
    }
    if (ImGui::BeginMenuBar()) {
        if (ImGui::BeginMenu("Charset")) {
            bankMenus(app);
            ImGui::EndMenu();
        }
        multiCheckbox(app);
        ImGui::EndMenuBar();
    }
    bool multi = multicolor(m);

    const int cw = 289, chh = 73;
    u32 colors[4];
    charColors(app, multi, colors);
    // The set is drawn again only when its characters or colours changed.
    canvas.redrawMachine(m, {colors, sizeof colors}, cw, chh, [&](u32* pixels) {
        std::fill_n(pixels, cw * chh, 0xFF282828u);
        for (int c = 0; c < 256; ++c)
            Vic::renderCharData(m.charData(u8(c)), multi, colors, pixels + (1 + (c / 32) * 9) * cw + 1 + (c % 32) * 9,
                                cw);
    });

    ImGui::BeginGroup();
    int picked = -1;
    bool right = false;
    if (Widgets::PaletteGrid("cspal", app, m.pen & 15, m.vic[VicReg::Background0] & 15, picked, right, 14, 2)) {
        if (right)
            BankSelect::setRegister(app.editor, VicReg::Background0, picked, "background color");
        else
            pickPen(app, picked, multi);
    }
    ImGui::EndGroup();
    ImGui::SameLine();

    ImVec2 tl, br;
    Widgets::ImageFit(canvas.tex, ImGui::GetContentRegionAvail(), tl, br, false);
    bool hovered = ImGui::IsItemHovered();
    float f = (br.x - tl.x) / cw;
    // Without room for the picture there is nothing to point at.
    if (!(f > 0)) {
        ImGui::End();
        return;
    }
    if (hovered) {
        ImVec2 mp = ImGui::GetMousePos();
        int x = int((mp.x - tl.x) / f), y = int((mp.y - tl.y) / f);
        int col = x / 9, row = y / 9;
        if (x >= 0 && y >= 0 && col <= 31 && row <= 7) {
            int c = row * 32 + col;
            std::string d = Widgets::CharDescription(c);
            bool has = !d.empty();
            ImGui::SetTooltip("Charcode: $%02X%s%s%s\nMemory position: $%04X", c, has ? " (" : "", d.c_str(),
                              has ? ")" : "", (m.charsetAddr() + c * 8) & 0xFFFF);
            if (ImGui::IsMouseClicked(ImGuiMouseButton_Left)) CharsetActions::clickChar(app, c);
        }
    }
    if (app.showCharEditor) {
        int k = app.charEditorChar & 0xFF;
        ImVec2 a(tl.x + f * ((k % 32) * 9), tl.y + f * ((k / 32) * 9));
        ImGui::GetWindowDrawList()->AddRect(a, ImVec2(a.x + f * 10, a.y + f * 10), IM_COL32(255, 255, 255, 255));
    }
    ImGui::End();
}

namespace {

void charsetMenu(App& app, bool rom) {
    if (!ImGui::BeginMenu("Charset")) return;
    Machine& m = app.machine;
    bankMenus(app);
    ImGui::Separator();
    if (ImGui::MenuItem("Clear charset", nullptr, false, !rom)) CharEdit::fillSet(app.editor, nullptr, "clear charset");
    if (ImGui::MenuItem("Load charset...")) Actions::loadCharset(app);
    if (ImGui::BeginMenu("Save charset")) {
        if (ImGui::MenuItem("PRG file (with load address)...")) Actions::saveCharset(app, true);
        if (ImGui::MenuItem("Raw data (.bin)...")) Actions::saveCharset(app, false);
        ImGui::EndMenu();
    }
    ImGui::Separator();
    if (ImGui::BeginMenu("Load charset from ROM", !rom)) {
        if (ImGui::MenuItem("Charset 1")) CharEdit::fillSet(app.editor, m.charRom, "ROM charset");
        if (ImGui::MenuItem("Charset 2")) CharEdit::fillSet(app.editor, m.charRom + 2048, "ROM charset");
        ImGui::EndMenu();
    }
    if (ImGui::MenuItem("Import charset from font...", nullptr, false, !rom)) app.showImportCharset = true;
    ImGui::EndMenu();
}

void charMenu(App& app, bool rom, u16 ca, bool multi) {
    if (!ImGui::BeginMenu("Char")) return;
    Machine& m = app.machine;
    int code = app.charEditorChar & 0xFF;
    u8 rows[8];
    std::memcpy(rows, m.charData(u8(code)), 8);
    auto put = [&](const char* name) { CharEdit::store(app.editor, ca, rows, name); };
    if (ImGui::MenuItem("Cut")) {
        std::memcpy(app.ui.charsetView.clip, rows, 8);
        // A ROM character can only be copied.
        std::memset(rows, 0, 8);
        if (!rom) put("cut char");
    }
    if (ImGui::MenuItem("Copy")) std::memcpy(app.ui.charsetView.clip, rows, 8);
    if (ImGui::MenuItem("Paste", nullptr, false, !rom)) {
        std::memcpy(rows, app.ui.charsetView.clip, 8);
        put("paste char");
    }
    ImGui::Separator();
    if (ImGui::MenuItem("Clear", nullptr, false, !rom)) {
        std::memset(rows, 0, 8);
        put("clear char");
    }
    if (ImGui::BeginMenu("Copy from ROM", !rom)) {
        for (int set = 0; set < 2; ++set)
            if (ImGui::MenuItem(set ? "Charset 2" : "Charset 1")) {
                std::memcpy(rows, m.charRom + set * 2048 + code * 8, 8);
                put("char from ROM");
            }
        ImGui::EndMenu();
    }
    ImGui::Separator();
    if (ImGui::MenuItem("Invert", nullptr, false, !rom)) {
        CharEdit::invert(rows);
        put("invert char");
    }
    if (ImGui::MenuItem("Flip", nullptr, false, !rom)) {
        CharEdit::flip(rows);
        put("flip char");
    }
    if (ImGui::MenuItem("Mirror", nullptr, false, !rom)) {
        CharEdit::mirror(rows, multi);
        put("mirror char");
    }
    ImGui::EndMenu();
}

void charColorsPanel(App& app, bool multi) {
    Machine& m = app.machine;
    ImGui::BeginGroup();
    int pen = app.charPen;
    int mark = multi && pen == 2 ? (m.vic[VicReg::Background2] & 15) : multi && pen == 1 ? (m.vic[VicReg::Background1] & 15) : (m.pen & 15);
    int picked = -1;
    bool right = false;
    if (Widgets::PaletteGrid("cepal", app, mark, m.vic[VicReg::Background0] & 15, picked, right, 16, 2))
        CharsetActions::pickColour(app, picked, right);
    if (multi) {
        static const char* const labels[3] = {"Color 1 ($D022)", "Color 2 ($D023)", "Color 3 (color mem)"};
        const int shown[3] = {m.vic[VicReg::Background1] & 15, m.vic[VicReg::Background2] & 15, m.pen & 7};
        Widgets::PenChoices(app, app.charPen, shown, labels);
    }
    ImGui::EndGroup();
}

}  // namespace

void drawCharEditor(App& app) {
    static Canvas canvas;
    CharEditorState& st = app.ui.charEditor;
    CharEdit::Stroke& stroke = st.stroke;
    double& romWarning = st.romWarning;

    Machine& m = app.machine;
    app.charEditorChar &= 0xFF;
    bool rom = m.charsetIsRom();
    u16 setAddr = m.charsetAddr();
    u16 ca = u16(setAddr + app.charEditorChar * 8);

    std::string d = Widgets::CharDescription(app.charEditorChar);
    char title[96];
    std::snprintf(title, sizeof title, "Character editor - $%04X%s%s%s###Character editor", ca, d.empty() ? "" : " (",
                  d.c_str(), d.empty() ? "" : ")");
    Fit::FirstUse(ImVec2(420, 360));
    bool visible = ImGui::Begin(title, &app.showCharEditor, ImGuiWindowFlags_MenuBar | ImGuiWindowFlags_HorizontalScrollbar);
    if (!visible) {
        stroke.active = false;
        ImGui::End();
        return;
    }
    bool multi = multicolor(m);
    if (ImGui::BeginMenuBar()) {
        charsetMenu(app, rom);
        charMenu(app, rom, ca, multi);
        multiCheckbox(app);
        ImGui::EndMenuBar();
    }
    // The menus may have switched the mode or the set.
    multi = multicolor(m);
    rom = m.charsetIsRom();

    if (ImGui::ArrowButton("##prev", ImGuiDir_Left)) app.charEditorChar = (app.charEditorChar - 1) & 0xFF;
    ImGui::SameLine();
    Widgets::HexByteInput("##nr", app.charEditorChar, 32);
    ImGui::SameLine();
    if (ImGui::ArrowButton("##next", ImGuiDir_Right)) app.charEditorChar = (app.charEditorChar + 1) & 0xFF;
    if (rom) {
        ImGui::SameLine();
        ImGui::TextColored(ImVec4(0.7f, 0.3f, 0.0f, 1.0f), "ROM charset (read only)");
    }
    // The menus may have moved the set, the arrows and the field picked another character.
    ca = u16(m.charsetAddr() + app.charEditorChar * 8);

    charColorsPanel(app, multi);
    ImGui::SameLine();

    u32 colors[4];
    charColors(app, multi, colors);
    const u8* rows = m.charData(u8(app.charEditorChar));
    canvas.redraw(8, 8, {{rows, 8}, {&multi, sizeof multi}, {colors, sizeof colors}}, [&](u32* pixels) {
        std::fill_n(pixels, 8 * 8, 0xFF000000u);
        Vic::renderCharData(rows, multi, colors, pixels, 8);
    });

    ImVec2 avail = ImGui::GetContentRegionAvail();
    float s = std::max(8.0f, float(int(std::min(avail.x, avail.y) / 8)));
    ImVec2 p = ImGui::GetCursorScreenPos();
    ImDrawList* dl = ImGui::GetWindowDrawList();
    dl->AddRectFilled(ImVec2(p.x - 2, p.y - 2), ImVec2(p.x + 8 * s + 2, p.y + 8 * s + 2),
                      app.palette.pixel(m.vic[VicReg::Border] & 15));
    DrawPixels(dl, canvas.tex, p, ImVec2(p.x + 8 * s, p.y + 8 * s));
    // Reachable by keyboard navigation, as every other control.
    ImGui::InvisibleButton("##chargrid", ImVec2(8 * s, 8 * s),
                           ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight |
                               ImGuiButtonFlags_EnableNav);
    bool gridHovered = ImGui::IsItemHovered();
    for (int i = 1; i < 8; ++i) {
        int alpha = multi && (i & 1) ? 20 : 60;
        dl->AddLine(ImVec2(p.x + i * s, p.y), ImVec2(p.x + i * s, p.y + 8 * s), IM_COL32(0, 0, 0, alpha));
        dl->AddLine(ImVec2(p.x, p.y + i * s), ImVec2(p.x + 8 * s, p.y + i * s), IM_COL32(0, 0, 0, 60));
    }

    bool left = ImGui::IsMouseClicked(ImGuiMouseButton_Left), rightClick = ImGui::IsMouseClicked(ImGuiMouseButton_Right);
    if (gridHovered && (left || rightClick)) CharEdit::beginStroke(stroke, app.undoBuffer, ca, !left);
    if (!ImGui::IsMouseDown(ImGuiMouseButton_Left) && !ImGui::IsMouseDown(ImGuiMouseButton_Right))
        stroke.active = false;
    if (stroke.active) {
        ImVec2 mp = ImGui::GetMousePos();
        if (!ImGui::IsMousePosValid(&mp)) mp = p;
        int column = std::clamp(int((mp.x - p.x) / s), 0, 7);
        int row = std::clamp(int((mp.y - p.y) / s), 0, 7);
        if (rom) romWarning = ImGui::GetTime() + 1.5;
        else CharEdit::strokeTo(stroke, m, app.undoBuffer, ca, multi, app.charPen, column, row);
    }
    if (ImGui::GetTime() < romWarning)
        dl->AddText(ImVec2(p.x + 6, p.y + 6), IM_COL32(255, 80, 80, 255),
                    "Can't edit ROM characters!\nSelect a RAM charset.");
    ImGui::End();
}
