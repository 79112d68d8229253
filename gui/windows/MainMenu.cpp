#include <imgui.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "app/App.h"
#include "gui/Fit.h"
#include "gui/Keys.h"
#include "gui/Widgets.h"
#include "gui/windows/Windows.h"
#include "core/CharEdit.h"
#include "core/Hotkeys.h"
#include "core/Sprites.h"
#include "app/FileActions.h"
#include "formats/FileFormats.h"

namespace {

ImGuiKey hotkeyKey(int key) {
    if (key == HotkeyF1) return Keys::f(1);
    if (key >= 'A' && key <= 'Z') return Keys::letter(char(key));
    if (key >= '0' && key <= '9') return Keys::digit(key - '0');
    return ImGuiKey_None;
}

void handleHotkeys(App& app) {
    ImGuiIO& io = ImGui::GetIO();
    if (io.WantTextInput) return;
    // A modal popup owns the keyboard: the chords must not act behind it.
    if (Fit::ModalOpen()) return;
    KeyMods mods{io.KeyCtrl, io.KeyShift, io.KeyAlt};
    bool textTyping = app.editor.tool == Editor::ToolText && app.ui.screenEditor.focused;
    auto pressed = [](int key) {
        ImGuiKey k = hotkeyKey(key);
        return k != ImGuiKey_None && ImGui::IsKeyPressed(k, false);
    };
    for (const HotkeyHit& h : matchHotkeys(pressed, mods, textTyping)) {
        switch (h.action) {
        case HotkeyAction::Undo: app.editor.undoLast(); break;
        case HotkeyAction::Redo: app.editor.redoLast(); break;
        case HotkeyAction::Clear: app.ui.clearDialog.open = true; break;
        case HotkeyAction::ToggleGrid: app.showGrid = !app.showGrid; break;
        case HotkeyAction::Palette: app.setPalette(h.arg); break;
        case HotkeyAction::LoadProject: Actions::loadProject(app); break;
        case HotkeyAction::SaveProject: Actions::saveProject(app); break;
        case HotkeyAction::Preferences: app.showPreferences = true; break;
        case HotkeyAction::Help: app.showHelp = true; break;
        }
    }
}

void fileMenu(App& app) {
    if (!ImGui::BeginMenu("File")) return;
    Machine& m = app.machine;
    if (ImGui::MenuItem("New"))
        app.confirm("Question", "Abandon all work and reset memory?\nAre you sure?",
                    [&app] { app.newProject(); });
    if (ImGui::MenuItem("Mount disk...")) app.showMountDisk = true;
    if (ImGui::BeginMenu("Load")) {
        if (ImGui::MenuItem("Project...", "Ctrl+Alt+L")) Actions::loadProject(app);
        if (ImGui::MenuItem("Memory (.prg)...")) Actions::loadMemory(app);
        if (ImGui::MenuItem("Koala image...")) Actions::loadKoala(app);
        if (ImGui::MenuItem("RAW Image...")) Actions::loadRaw(app);
        if (ImGui::BeginMenu("C64 Image formats")) {
            if (ImGui::MenuItem("Load from file extension...")) Actions::loadImageFormat(app, -1);
            ImGui::Separator();
            for (int i = 0; i < FileFormats::count(); ++i) {
                ImGui::PushID(i);
                if (ImGui::MenuItem(FileFormats::name(i).c_str())) Actions::loadImageFormat(app, i);
                ImGui::PopID();
            }
            ImGui::EndMenu();
        }
        if (ImGui::MenuItem("Import PC image...")) app.showImportPicture = true;
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Save")) {
        int screen = m.screenAddr(), bitmap = m.bitmapAddr(), charset = m.charsetAddr();
        char label[96];
        if (ImGui::MenuItem("Everything as a Vorlix-project...", "Ctrl+Alt+S")) Actions::saveProject(app);
        if (ImGui::MenuItem("Colormem $D800-$DBE7...")) Actions::saveArea(app, 0xD800, 1000, "colormem.prg");
        std::snprintf(label, sizeof label, "Videomem $%04X-$%04X...", screen, screen + 999);
        if (ImGui::MenuItem(label)) Actions::saveArea(app, screen, 1000, "videomem.prg");
        std::snprintf(label, sizeof label, "Bitmap data $%04X-$%04X...", bitmap, bitmap + 0x1FFF);
        if (ImGui::MenuItem(label)) Actions::saveArea(app, bitmap, 0x2000, "bitmap.prg");
        if (ImGui::MenuItem("Koala image...")) Actions::saveKoala(app);
        if (ImGui::MenuItem("Doodle image (hires)...")) Actions::saveDoodle(app);
        std::snprintf(label, sizeof label, "Character set data $%04X-$%04X...", charset, charset + 0x7FF);
        if (ImGui::MenuItem(label)) Actions::saveArea(app, charset, 0x800, "charset.prg");
        if (ImGui::MenuItem("Sprites...")) {
            Sprites::pointerRange(m, app.saveSpritesFirst, app.saveSpritesLast);
            app.saveSpritesOpen = true;
        }
        if (ImGui::MenuItem("Executable (.prg)...")) Actions::saveExecutable(app);
        ImGui::EndMenu();
    }
    if (ImGui::MenuItem("Export PNG...")) Actions::exportPng(app);
    ImGui::Separator();
    if (ImGui::MenuItem("Close")) app.quitRequested = true;
    ImGui::EndMenu();
}

void editMenu(App& app) {
    if (!ImGui::BeginMenu("Edit")) return;
    UndoBuffer& u = app.undoBuffer;
    Editor& ed = app.editor;
    std::string undoName = u.undoName(), redoName = u.redoName();
    std::string undoLabel = undoName.empty() ? "Undo" : "Undo " + undoName;
    std::string redoLabel = redoName.empty() ? "Redo" : "Redo " + redoName;
    if (ImGui::MenuItem(undoLabel.c_str(), "Ctrl+Z", false, !undoName.empty())) ed.undoLast();
    if (ImGui::MenuItem(redoLabel.c_str(), "Ctrl+Y", false, !redoName.empty())) ed.redoLast();
    if (ImGui::MenuItem("Clear...", "Ctrl+Alt+E")) app.ui.clearDialog.open = true;
    ImGui::Separator();
    if (ImGui::MenuItem("Copy character cell", "C")) ed.copyChar();
    if (ImGui::MenuItem("Paste character cell", "V")) ed.pasteChar();
    ImGui::Separator();
    if (ImGui::BeginMenu("Block")) {
        bool sel = ed.hasSelection;  // read once, before any entry runs
        if (ImGui::MenuItem("Select tool", "S")) ed.tool = Editor::ToolSelect;
        if (ImGui::MenuItem("Select all", "Ctrl+A")) {
            ed.tool = Editor::ToolSelect;
            ed.selectAll();
        }
        ImGui::Separator();
        if (ImGui::MenuItem("Cut", "Ctrl+X", false, sel)) ed.cutBlock();
        if (ImGui::MenuItem("Copy", "Ctrl+C", false, sel)) ed.copyBlock();
        if (ImGui::MenuItem("Paste", "Ctrl+V", false, ed.clip.w > 0)) ed.startPaste();
        ImGui::Separator();
        if (ImGui::MenuItem("Flip horizontally", "X", false, sel)) ed.flipBlockX();
        if (ImGui::MenuItem("Flip vertically", "Y", false, sel)) ed.flipBlockY();
        if (ImGui::MenuItem("Invert", "I", false, sel)) ed.invertBlock();
        if (ImGui::MenuItem("Clear", "Delete", false, sel)) ed.clearBlock();
        ImGui::EndMenu();
    }
    if (ImGui::MenuItem("Convert bitmap to charset...", nullptr, false, app.machine.bitmapMode()))
        app.showCharsetConverter = true;
    ImGui::Separator();
    if (ImGui::MenuItem("Preferences...", "Ctrl+Alt+P")) app.showPreferences = true;
    ImGui::EndMenu();
}

void bankMenu(App& app) {
    if (!ImGui::BeginMenu("Bank")) return;
    Machine& m = app.machine;
    static const char* const banks[4] = {"1 $0000-$3FFF", "2 $4000-$7FFF", "3 $8000-$BFFF", "4 $C000-$FFFF"};
    Widgets::VicBankMenu(app, "Select VIC Bank", banks);
    if (ImGui::BeginMenu("Select charbank")) {
        bool second = (m.vic[VicReg::MemoryPointers] & 0x02) != 0;
        if (ImGui::MenuItem("Charbank 1", nullptr, !second)) BankSelect::charBank(app.editor, false);
        if (ImGui::MenuItem("Charbank 2", nullptr, second)) BankSelect::charBank(app.editor, true);
        ImGui::EndMenu();
    }
    ImGui::EndMenu();
}

void viewMenu(App& app) {
    if (!ImGui::BeginMenu("View")) return;
    ImGui::MenuItem("Sprites", nullptr, &app.showSprites);
    ImGui::MenuItem("Sprite editor", nullptr, &app.showSpriteEditor);
    ImGui::MenuItem("Registers", nullptr, &app.showRegisters);
    ImGui::MenuItem("Monitor", nullptr, &app.showMonitor);
    ImGui::MenuItem("Second view", nullptr, &app.showSecondView);
    ImGui::MenuItem("Charset", nullptr, &app.showCharset);
    ImGui::MenuItem("Char editor", nullptr, &app.showCharEditor);
    ImGui::MenuItem("Calc converter", nullptr, &app.showCalc);
    ImGui::MenuItem("Memory bitmap", nullptr, &app.showBitmapMem);
    ImGui::MenuItem("Processor", nullptr, &app.showProcessor);
    ImGui::MenuItem("Assembler", nullptr, &app.showAssembler);
    ImGui::Separator();
    ImGui::MenuItem("View grid", "Ctrl+Alt+G", &app.showGrid);
    ImGui::Separator();
    if (ImGui::MenuItem("Reset window layout")) app.resetLayout = true;
    if (ImGui::BeginMenu("UI scale")) {
        static const int percents[5] = {75, 100, 125, 150, 200};
        for (int p : percents) {
            char label[16];
            std::snprintf(label, sizeof label, "%d%%", p);
            float v = p / 100.0f;
            if (ImGui::MenuItem(label, nullptr, std::fabs(app.uiScale - v) < 0.01f)) {
                app.uiScale = v;
                ImGui::GetStyle().FontScaleMain = v;
                app.saveSettings();
            }
        }
        ImGui::EndMenu();
    }
    ImGui::EndMenu();
}

void paletteMenu(App& app) {
    if (!ImGui::BeginMenu("Palette")) return;
    for (int i = 0; i <= 10; ++i) {
        char shortcut[16] = "";
        if (i <= 9) std::snprintf(shortcut, sizeof shortcut, "Ctrl+Alt+%d", (i + 1) % 10);
        if (ImGui::MenuItem(Palette::name(i), i <= 9 ? shortcut : nullptr, app.paletteIndex == i)) app.setPalette(i);
    }
    ImGui::EndMenu();
}

void helpMenu(App& app) {
    if (!ImGui::BeginMenu("Help")) return;
    if (ImGui::MenuItem("Vorlix Help", "F1")) app.showHelp = true;
    if (ImGui::MenuItem("About Vorlix")) app.showAbout = true;
    ImGui::EndMenu();
}

}  // namespace

void drawMainMenu(App& app) {
    handleHotkeys(app);
    if (!ImGui::BeginMainMenuBar()) return;
    fileMenu(app);
    editMenu(app);
    bankMenu(app);
    viewMenu(app);
    paletteMenu(app);
    helpMenu(app);
    ImGui::EndMainMenuBar();
}
