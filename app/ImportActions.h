#pragma once
#include <memory>
#include <string>

#include "core/Types.h"
#include "import/FontImport.h"
#include "import/PictureImport.h"

struct App;

// What the import windows do to the App: open, preview, accept and close.

// Takes a picture into the window and opens it; a bad picture gives a message
// and changes nothing. A large PNG or JPEG is read across frames (stepImportLoad).
void openImportPicture(App& app, const std::string& name, Bytes bytes);
// As openImportPicture for an opened file: a small one is read at once, a larger
// one a piece at a time across frames before it is decoded.
void openImportPictureFile(App& app, const std::string& name, std::unique_ptr<Platform::FileReading> file);
// Files up to this size are read in the frame they are opened; larger ones a piece at a time.
constexpr size_t importReadAtOnce = 4u << 20;

// Each call reads pieces of the file, then bands of rows, for about budgetMs (at
// least one piece or band) and resamples the rows that arrived; the call after
// the last band puts the picture in the window's place. A failure gives a message
// and changes nothing. True while reading goes on.
bool stepImportLoad(App& app, ImportPicState& s, double budgetMs);
bool importLoading(const ImportPicState& s);
double importLoadProgress(const ImportPicState& s);
// The name the window shows: the file being read, else the picture's, else "(no image)".
std::string importShownName(const ImportPicState& s);
// Stops the reading: the window's picture, and whether it shows, stay as before.
void cancelImportLoad(App& app, ImportPicState& s);

// Brings the previews up to date for about budgetMs: a large resampling goes on
// over several calls with the previews kept, and the reduction follows it in a
// call of its own. True when the previews were recomputed.
bool stepImportPreview(const App& app, ImportPicState& s, double budgetMs);
// Recomputes both previews' pixels from the picture and options.
void recomputeImport(const App& app, ImportPicState& s);
// Writes the result into memory as one undo step and closes the window.
void acceptImport(App& app, ImportPicState& s);
// Closes the window; the picture, its name and the options stay for the next
// opening, whose previews are computed again. Memory stays as it is.
void closeImport(App& app, ImportPicState& s);

// First frame of an opening: refuses a ROM set, else saves the set and takes
// the undo step. False when the window must close.
bool beginFontImport(App& app, ImportFontState& s);
// Renders the glyphs into the set when a setting changed and a font is loaded.
// Like every write of the import, it settles a floating paste first.
void renderFontImport(App& app, ImportFontState& s);
// Ends the opening; without keep, the slots the window still holds go back.
void endFontImport(App& app, ImportFontState& s, bool keep);
