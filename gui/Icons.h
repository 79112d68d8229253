#pragma once
// The twenty toolbar and tools-bar icons from the asset folder "glyphs". They
// live in the font atlas, so that a bar draws from one texture in a few calls.
#include <imgui.h>

#include "gui/AtlasImage.h"

constexpr int IconCount = 20;

// Puts the icons into the font atlas (once, after the fonts are added), each
// at every UI scale the menu offers, as the atlas filters when it scales.
void AddIconsToAtlas(ImFontAtlas* atlas);
// The icon as drawn at that UI scale; size 0 when its file did not load.
AtlasImage Icon(int icon, float scale);

// A speed button of (w, h) x UI scale showing icon slot `icon` when loaded,
// else the label. Returns whether it was clicked.
bool IconButton(const char* id, int icon, const char* label, bool selected, const char* tip, float w, float h);
