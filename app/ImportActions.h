#pragma once
#include <string>

#include "core/Types.h"
#include "import/FontImport.h"
#include "import/PictureImport.h"

struct App;

// What the import windows do to the App: open, preview, accept and close.

// Takes a picture into the window and opens it; a bad picture gives a message
// and changes nothing.
void openImportPicture(App& app, const std::string& name, const Bytes& bytes);

// A large PNG or JPEG is read across frames: each call reads bands of rows for
// about budgetMs (at least one band) and resamples the rows that arrived; the
// call after the last band puts the picture in the window's place. A failure
// gives a message and changes nothing. True while reading goes on.
bool stepImportLoad(App& app, ImportPicState& s, double budgetMs);
bool importLoading(const ImportPicState& s);
double importLoadProgress(const ImportPicState& s);
// Stops the reading: the window's picture, and whether it shows, stay as before.
void cancelImportLoad(App& app, ImportPicState& s);

// Recomputes both previews' pixels from the picture and options.
void recomputeImport(const App& app, ImportPicState& s);
// Writes the result into memory as one undo step and closes the window.
void acceptImport(App& app, ImportPicState& s);
// Closes the window and lets the decoded picture go; memory stays as it is.
void closeImport(App& app, ImportPicState& s);

// First frame of an opening: refuses a ROM set, else saves the set and takes
// the undo step. False when the window must close.
bool beginFontImport(App& app, ImportFontState& s);
// Renders the glyphs into the set when a setting changed and a font is loaded.
// Like every write of the import, it settles a floating paste first.
void renderFontImport(App& app, ImportFontState& s);
// Ends the opening; without keep, the slots the window still holds go back.
void endFontImport(App& app, ImportFontState& s, bool keep);
