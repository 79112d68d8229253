#pragma once

struct App;

// What the character set and character editor windows do to the machine, apart from drawing.
namespace CharsetActions {

// A left click on character `code` (0-255) in the character set window: it
// becomes the character editor's character while that window is open, else the
// text tool types it at the text cursor; other tools do nothing.
void clickChar(App& app, int code);

// A pick of palette colour `picked` in the character editor: the right button
// sets the background; the left one in multicolour sets the colour of the
// character pen (1: $D022, 2: $D023, 3: the drawing colour, which must be 0-7),
// otherwise the drawing colour.
void pickColour(App& app, int picked, bool right);

}  // namespace CharsetActions
