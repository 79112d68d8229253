#pragma once
#include "core/Machine.h"
#include "core/Types.h"

// Arithmetic of the screen editor's canvas, the status bar and the tools bar's
// palette, kept apart from the windows so it can be tested without one.
namespace ScreenView {

// C64 screen pixel under a pointer coordinate on one axis: the frame pixel
// floor((mouse - origin) / zoom), limited to +-10000, minus the 32-pixel border.
int mouseToPixel(float mouse, float origin, int zoom);

// Scroll position (one axis) that keeps the frame point under the pointer in
// place when the zoom goes from zOld to zNew; never negative.
float wheelZoomScroll(float mouse, float origin, float childPos, int zOld, int zNew);

// Memory under C64 pixel (x, y) as the status bar shows it, and the position
// it shows (cell in text modes; pixel, x halved in multicolour bitmap).
struct StatusCell {
    u16 address;
    int shownX, shownY;
};
StatusCell statusCell(const Machine& m, int x, int y);

// Colour of the tools bar's palette at (mx, my) units from its inner origin;
// -1 above the cell rows (the preview squares).
int toolsPaletteColor(float mx, float my);

// The Clear dialog's value: hex after a leading "$", else decimal; 0 when no digits.
int parseClearValue(const char* text);

}  // namespace ScreenView
