#pragma once
// Small controls shared by many windows; only a hex field being edited keeps its text between frames.
#include <imgui.h>

#include <string>
#include <vector>

#include "core/EditKey.h"

struct App;
struct Texture;

namespace Widgets {

// A box in C64 colour `color` (negative: none, drawn crossed out); no input.
void ColorSwatch(App& app, int color, ImVec2 size);

// The three multicolour pens, one row each: a radio button setting `pen` to
// 1..3, the pen's colour and its label.
void PenChoices(App& app, int& pen, const int colors[3], const char* const labels[3]);

// 16 colours in rows of `columns`; true when a cell was clicked (left or right).
bool PaletteGrid(const char* id, App& app, int marked1, int marked2, int& clicked, bool& rightClick,
                 float cellSize, int columns);

// Hex fields; true when a value was committed (Enter, or focus lost after an edit).
bool HexByteInput(const char* label, int& value, float width);
bool HexWordInput(const char* label, int& value, float width);

// Draws the texture as large as fits in `avail`, centred.
void ImageFit(const Texture& tex, ImVec2 avail, ImVec2& topLeft, ImVec2& bottomRight, bool integerScale);

// Submenu `title` picking the VIC bank, one item per bank labelled by `names`.
void VicBankMenu(App& app, const char* title, const char* const (&names)[4]);

// The text-editing keys pressed this frame (with key repeat), in a fixed order.
std::vector<EditKey> EditKeysPressed();

// "rev. a", "space", ... for the screen codes that name a plain character; else "".
std::string CharDescription(int screenCode);

}  // namespace Widgets
