#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/UiState.h"
#include "core/Editor.h"
#include "core/Machine.h"
#include "core/Palette.h"
#include "core/UndoBuffer.h"
#include "cpu/CPU6502.h"
#include "cpu/Monitor.h"
#include "disk/DiskDrive.h"

// The one application object: the machine, the tools, the settings, the
// open flag of every window and the state windows share.
struct App {
    struct Point {
        float x, y;
    };
    struct Area {
        float x, y, w, h;
    };
    struct Popup {
        std::string title;
        std::string text;
        std::function<void()> onYes;
        bool isConfirm = false;
        bool isExitQuestion = false;  // known by this, not by its title
    };

    Machine machine;
    Palette palette;
    UndoBuffer undoBuffer{machine};
    Editor editor{machine, undoBuffer};

    // Settings (vorlix.ini).
    bool showGrid = false;
    int gridColor = 0;
    bool showActiveChar = true;
    bool dontReplaceColors = false;
    int paletteIndex = 0;
    int zoomSetting = 2;
    float uiScale = 1.0f;
    bool settingsLocked = false;  // the file exists but could not be read: never overwrite it

    // Window-open flags.
    bool showSecondView = false;
    bool showSprites = false;
    bool showSpriteEditor = false;
    bool showRegisters = false;
    bool showMonitor = false;
    bool showCharset = false;
    bool showCharEditor = false;
    bool showBitmapMem = false;
    bool showCalc = false;
    bool showProcessor = false;
    bool showAssembler = false;
    bool showMountDisk = false;
    bool showImportPicture = false;
    bool showImportCharset = false;
    bool showPreferences = false;
    bool showAbout = false;
    bool showHelp = false;
    bool showCharsetConverter = false;

    CPU6502 cpu{machine};
    Monitor monitor{machine, cpu};
    DiskDrive drives[4];  // devices 8-11

    std::string asmSource =
        "; Vorlix assembler\n*=$C000\n\nstart   LDA #$00\n        STA $D020\n        RTS\n";
    bool cpuRunning = false;

    // Screen editor view.
    int zoom = 2;
    Point pendingScroll{-1, -1};  // negative: none
    bool focusScreen = false;
    int mouseX = 0, mouseY = 0;
    double noColorsUntil = 0;
    Area viewArea{0, 0, 0, 0};  // visible part of the frame, frame pixels
    float screenOriginX = 0, screenOriginY = 0;
    float screenZoom = 0;

    // Character and sprite editors.
    int charEditorChar = 0;
    int spriteBlock = 0;
    int spritePen = 2;
    int spriteColor = 1;
    int charPen = 3;
    bool saveSpritesOpen = false;
    int saveSpritesFirst = 0, saveSpritesLast = 0;

    const bool selfTest;
    UiState ui;  // what the windows keep

    bool quitRequested = false;
    bool resetLayout = false;
    std::vector<Popup> popups;

    // selfTest: the scripted self-test runs; settings are then never written.
    explicit App(bool selfTest = false);
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    void newProject();
    void afterLoad();
    void setPalette(int i);
    void setZoom(int z, float anchorX, float anchorY);

    void loadSettings();
    void saveSettings();
    // The settings file's text, as saveSettings writes it.
    std::string settingsText() const;
    void applySettingsText(const std::string& text);

    void message(const std::string& title, const std::string& text);
    void confirm(const std::string& title, const std::string& text, std::function<void()> action);
    // Asks whether to close the program; while the question is shown, asks nothing more.
    void askExit(std::function<void()> onYes);

private:
    int spriteZeroPointer() const;
    // The monitor's ways out: drives, the processor, its window and host files.
    void wireMonitor();
    // Reset machine, empty undo, text cursor home: shared by start-up and New.
    void powerOn();
};
