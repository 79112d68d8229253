#pragma once
#include <string>

#include "core/Machine.h"
#include "core/Palette.h"
#include "core/Types.h"
#include "core/UndoBuffer.h"

struct CharsetConversionResult {
    bool ok = false;        // the machine was changed
    std::string error;      // the reason when ok is false
    i32 uniqueCells = 0;    // different cell patterns after colour mapping
    i32 charCount = 0;      // characters written (at most 256)
    i32 mergedCells = 0;    // cells showing a merged, not their own, pattern
    i32 inexactCells = 0;   // cells whose colours are not reproduced exactly
};

// Turns the bitmap picture on screen into a character set at charset slot
// 0-7 of the VIC bank plus a text screen and colour RAM showing it in normal
// (from hires) or multicolour (from multicolour bitmap) text mode. On failure
// nothing in the machine changes.
CharsetConversionResult ConvertBitmapToCharset(Machine& m, const Palette& pal, int slot, bool merge);

// The same, with a whole-memory undo step "convert to charset" that is stored
// only when the conversion succeeds; a failure leaves both stacks as they were.
// undo must be the buffer of m.
CharsetConversionResult ConvertBitmapToCharsetWithUndo(Machine& m, const Palette& pal, UndoBuffer& undo,
                                                       int slot, bool merge);
