#pragma once
// What the windows keep between frames, one plain record per window, so that
// the application owns it and tests reach it without a window. Textures and
// other caches of what memory shows stay with the windows.
#include <string>
#include <vector>

#include "app/SourceWatch.h"
#include "core/Calc.h"
#include "core/CharEdit.h"
#include "core/Sprites.h"
#include "core/Types.h"
#include "cpu/Assembler.h"
#include "disk/DiskDrive.h"
#include "import/FontImport.h"
#include "import/PictureImport.h"
#include "platform/FileIO.h"

struct AssemblerState {
    std::vector<Assembler::Message> messages;  // of the last compile
    int lastStart = -1;
    int fontSize = 12;
    SourceWatch watch;  // whether the source changed behind its editor
};

struct BitmapMemState {
    int oneBit = 0;
    int widthSel = 2;
};

struct CharsetConverterState {
    int slot = -1;
    bool merge = true;
    std::string result;
};

struct CharsetViewState {
    u8 clip[8] = {};  // Copy and Paste of one character
};

struct CharEditorState {
    CharEdit::Stroke stroke;
    double romWarning = 0;
};

struct MountState {
    int selected[4] = {-1, -1, -1, -1};
    unsigned long long disk[4] = {};  // the drive's disk the selection was made on
    // The selected row of drive d: none once the drive's disk changed (a mount, a drop, an unmount).
    int selection(int d, const DiskDrive& drive) {
        if (disk[d] != drive.diskChanges) disk[d] = drive.diskChanges, selected[d] = -1;
        return selected[d];
    }
    int formatIdx = 0;
    char saveName[17] = "PICTURE";
    int saveStart = 0x2000, saveEnd = 0x3F40;
    char newName[17] = "VORLIX";
    char newId[3] = "01";
};

struct ProcessorState {
    u16 viewTop = 0xC000;
    int selRow = 0;
    bool followPc = true;
    int memAddr = 0;
};

struct ScreenEditorState {
    bool focused = false;  // the Screen window (or its canvas) has keyboard focus this frame
    int activeButton = -1;  // the mouse button of the drag in progress
    bool panning = false;
};

struct ColorEditorState {
    bool open = false;  // a request to open it, taken once no other popup shows
    int cx = 0, cy = 0;
    int cols[4] = {-1, -1, -1, -1};
};

struct ClearDialogState {
    bool open = false;  // a request to open it, taken once no other popup shows
    int mode = 0;
    char value[16] = "$00";
};

struct SecondViewState {
    int zoom = 1;
};

struct SpriteEditorState {
    u8 clip[Sprites::BlockSize] = {};
    Sprites::Stroke stroke;
};

struct SaveSpritesState {
    int format = 0;
};

// Every window's record.
struct UiState {
    FileIO::Dialog fileDialog;
    AssemblerState assembler;
    BitmapMemState bitmapMem;
    Calc calc;
    CharsetConverterState charsetConverter;
    CharsetViewState charsetView;
    CharEditorState charEditor;
    ImportPicState importPicture;
    ImportFontState importFont;
    MountState mountDisk;
    ProcessorState processor;
    ScreenEditorState screenEditor;
    ColorEditorState colorEditor;
    ClearDialogState clearDialog;
    SecondViewState secondView;
    SpriteEditorState spriteEditor;
    SaveSpritesState saveSprites;
};
