#pragma once
// The classic grey desktop look: style, bevels and latching speed buttons.
#include <imgui.h>

struct AtlasImage;

namespace Classic {

// The monospaced 12-pixel font; null until start-up has loaded it.
extern ImFont* MonoFont;

// Current font size / 12: 1.0 at the normal font and UI scale 100 %.
float Scale();

void ApplyStyle();
// Puts the latched button's dot pattern into the font atlas (once, after the
// fonts are added).
void AddToAtlas(ImFontAtlas* atlas);

// 2-pixel two-tone bevel between a and b (b exclusive).
void Bevel(ImDrawList* dl, ImVec2 a, ImVec2 b, bool raised);
// 1-pixel bevel: the outer ring only.
void ThinBevel(ImDrawList* dl, ImVec2 a, ImVec2 b, bool raised);

// A button that stays pressed while selected; shows the icon (from the font
// atlas) when given, else the label. Returns whether it was clicked this frame.
bool SpeedButton(const char* id, const AtlasImage* icon, const char* label, bool selected, ImVec2 size,
                 const char* tip);

// A bar at an edge of the main window, without padding or border, as the
// toolbar, status bar and tools bar are drawn, `thickness` across; framed, it
// has a raised thin bevel around it. Its content is `length` long along the
// bar: where the bar is shorter, the content scrolls in a child window and the
// bar is thicker by a scroll bar of the usual width at the UI scale. The cursor
// is left where the content starts. Always pair with EndBar.
bool BeginBar(const char* name, ImGuiDir dir, float thickness, float length, bool framed);
// Whether a mouse button was let go over the bar this frame; asked between
// BeginBar and EndBar.
bool ClickEndedOnBar();
void EndBar();

}  // namespace Classic
