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

// Where the toolbar's controls go in a bar of that width (pixels from its left)
// at a UI scale s, given the widths of the texts "GfxMode:", "Zoom:" and
// "Insert": at their places (412, 660, 784 and 832 × s) while the bar is wide
// enough; else moved left down to the end of the window buttons, the combos
// narrowed to half; what still does not fit is left out, the last first.
// Nothing lies over another or beyond the bar.
struct ToolbarRow {
    float modeX, modeW, zoomX, zoomW, insertX, helpX;  // label or button left edges, combo widths
    float modeComboX, zoomComboX;
    bool mode, zoom, insert, help;  // shown
};
ToolbarRow toolbarRow(float barWidth, float s, float modeLabel, float zoomLabel, float insertLabel);
// The window buttons end here (× s): nothing else starts before it.
constexpr float kToolbarButtonsEnd = 240 + 23;

// How many of the status bar's fields, from the left, are shown in a bar of
// that width, each at its own width: the fields that do not fit are left out,
// the last first.
int statusFieldsShown(const float* widths, int count, float barWidth);

// The Clear dialog's value: hex after a leading "$", else decimal; 0 when no digits.
int parseClearValue(const char* text);

}  // namespace ScreenView
