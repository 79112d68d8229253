#pragma once
#include <string>

#include "core/Machine.h"
#include "core/Types.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

// The font import window's state: the font and its settings for the whole
// run, and the character set as the current opening found and left it.
struct ImportFontState {
    Bytes font;  // the font engine reads the face from these bytes in place
    std::string name;
    FT_LibraryRec_* library = nullptr;
    FT_FaceRec_* face = nullptr;
    int loaded = 0;     // 1: a usable font
    std::string error;  // why the last file is not a usable font
    int ascent = 0, descent = 0;  // from the horizontal header
    int size = 8;       // pixels from descent to ascent, 4-16
    int xOffset = 0, yOffset = 0;  // -4 to 4
    int threshold = 110;  // least coverage that sets a pixel
    bool capitals = true, smallLetters = true, numbers = true, symbols = true;
    bool started = false;
    u8 backup[2048] = {};   // the set before the window changed it
    u8 written[2048] = {};  // the set as the window last left it
    int charsetAddr = -1;
    bool dirty = true;

    ImportFontState() = default;
    ImportFontState(const ImportFontState&) = delete;
    ImportFontState& operator=(const ImportFontState&) = delete;
    ~ImportFontState();
};

// Takes a font file; loaded is 1 when it is a usable font, else error says why.
bool loadFont(ImportFontState& s, const std::string& name, const Bytes& bytes);
// Brings the sliders' values back into their ranges (a typed value can leave them).
void clampFontSettings(ImportFontState& s);
// One code point into 8 pattern bytes (bit 7 leftmost); empty without a font.
void renderGlyph(ImportFontState& s, u8* pattern, int codePoint);

// Renders the enabled groups over the saved set. Slots that something else
// changed since the window last wrote them are kept as they are now.
void renderFontCharset(Machine& m, ImportFontState& s);
