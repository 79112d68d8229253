#pragma once
#include <string>

#include "core/EditKey.h"
#include "core/Machine.h"
#include "core/PixelOperator.h"
#include "core/Types.h"
#include "core/UndoBuffer.h"

// How the whole screen is cleared.
enum class ClearMode : int {
    Background = 0,  // spaces, or the drawing colour on the background
    Zero = 1,        // all $00
    Ones = 2,        // all $FF
    Value = 3,       // all a given value
};

// Drawing state of the screen editor and the operations the mouse and keys drive
// on the C64 screen. Mouse operations take screen pixels and clamp them themselves.
struct Editor {
    // A rectangle of character cells, row-major.
    struct Block {
        i32 w = 0;             // 0: empty clipboard
        i32 h = 0;
        bool bitmap = false;   // captured in a bitmap mode
        Bytes bitmapBytes;     // 8 per cell when bitmap
        Bytes screen;          // 1 per cell
        Bytes colour;          // 1 per cell, the whole colour RAM byte
    };

    Machine& machine;
    UndoBuffer& undo;
    PixelOperator pixels;

    // The values of tool; the line, circle and rectangle tools draw over a backup.
    enum Tool : i32 {
        ToolText = 1,
        ToolDot = 2,
        ToolFreehand = 3,
        ToolLine = 4,
        ToolCircle = 5,
        ToolRect = 6,
        ToolFill = 7,
        ToolMoveView = 8,
        ToolSelect = 9,
    };

    Tool tool = ToolText;
    i32 brush = 1;  // 1 pixel, 2 square, 3 diamond, 4 checker
    i32 cursorCol = 0;
    i32 cursorRow = 6;
    bool insert = false;
    bool textUndoPending = true;
    u32 textStep = 0;  // undo serial right after the typing took its step
    Tool dragTool{};  // the tool a drag started with
    bool drawing = false;
    bool erase = false;
    bool filled = false;
    bool shift = false;
    bool hasSelection = false;
    i32 selX0 = 0, selY0 = 0, selX1 = 0, selY1 = 0;  // anchor and moving corner, not ordered
    Block clip;
    bool pasting = false;
    i32 pasteX = 0, pasteY = 0;
    bool picking = false;
    i32 lastX = -1, lastY = -1;
    i32 startX = 0, startY = 0;
    // Backup of the screen memories while a shape or a paste is shown, with
    // the addresses it came from so it never lands anywhere else.
    Bytes savedBitmap, savedScreen, savedColour;
    u16 savedBitmapAddr = 0, savedScreenAddr = 0;
    u8 charClip[8] = {};
    u8 charClipCode = 0x20;
    u8 charClipColour = 0;

    // Binds the undo buffer's settle hook to this editor, so every step stored,
    // undo, redo and clear ends what is pending first (commitPendingEdits).
    Editor(Machine& m, UndoBuffer& u);
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Mouse, in screen pixels; button 0 draws, 1 erases, 2 picks a colour.
    void mouseDown(int x, int y, int button);
    void mouseMove(int x, int y);
    void mouseUp(int x, int y, int button);
    void pickColor(int x, int y);
    bool takePixelWarning();

    // Ends a floating paste (placed where it is shown) and any stroke, shape
    // or selection drag in progress, and drops the backup. The undo buffer
    // calls it before every step it stores and every undo, redo and clear.
    void commitPendingEdits();
    // Write access for a change that is not the editor's own drawing and may
    // take no undo step of its own (typing on in a step already taken, a cell
    // colour, the processor's runs): a floating paste or a shape shown over the
    // backup is settled first, so the backup is never written back over the
    // change. Whatever writes that way takes its machine from here.
    Machine& write();
    // Undo and redo that first end what is pending.
    void undoLast();
    void redoLast();

    // Selection and block clipboard.
    void selectAll();
    void selRect(int& x0, int& y0, int& x1, int& y1) const;
    bool copyBlock();
    bool cutBlock();
    void clearBlock();
    bool startPaste();
    void commitPaste();
    void cancelPaste();
    void flipBlockX();
    void flipBlockY();
    void invertBlock();

    // Text typing, cursor, clearing and cell colours.
    void typeChar(unsigned char code);
    void editKey(EditKey key, bool shift);
    void copyChar();
    void pasteChar();
    void clearScreen(ClearMode mode, int value);
    std::string clearDescription() const;
    void cellColors(int x, int y, int* out) const;
    void setCellColor(int slot, int x, int y, int colour);
    // The colour editor's result: every slot of cellColors' layout that is not
    // -1, as one step "color change" that also brings back the VIC registers.
    void setCellColors(int x, int y, const int colours[4]);
    // Steps a used colour slot of the cell by +1 or -1 (wrapping in 0-15) as one such step.
    void cycleCellColor(int slot, int x, int y, int step);

    // Internal pieces, public for the tests and the benchmarks.
    void _TakeUndo();
    // Takes a text step unless the newest step is the typing's own.
    void _TextUndo();
    void _SaveLineStart();
    void _RestoreLineStart();
    void _ClearBackup();
    bool _BackupFitsLayout() const;
    void _DrawShape(int x0, int y0, int x1, int y1);
    void _SetBrush(int x, int y);
    void _LineBrush(int x0, int y0, int x1, int y1);
    void _Rect(int x0, int y0, int x1, int y1, bool filled);
    void _Ellipse(int cx, int cy, int rx, int ry, bool filled);
    void _HSpan(int x0, int x1, int y);
    void _FloodFill(int x, int y);
    Block _Grab(int x0, int y0, int x1, int y1) const;
    void _Stamp(const Block& block, int x, int y);
    void _PastePreview(int x, int y);
    void _PokeCharNormal(unsigned char code);
    void _PokeCharBitmap(unsigned char code);
    void _PushRow();
    void _BackRow();
    void _AdvanceCursor();

    // Screen pixel to the current mode grid: -1 for a negative coordinate.
    void toGrid(int& x, int& y) const;
    int gridWidth() const;
    int gridHeight() const;
};
