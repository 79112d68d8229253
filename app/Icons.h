#pragma once
// The twenty toolbar and tools-bar icons from the asset folder "glyphs".

struct App;

constexpr int IconCount = 20;
extern const char* const iconFiles[IconCount];

// Loads the icons into app.icons; does its work on the first call only.
void LoadIcons(App& app);

// A speed button of (w, h) x UI scale showing icon slot `icon` when loaded,
// else the label. Returns whether it was clicked.
bool IconButton(App& app, const char* id, int icon, const char* label, bool selected, const char* tip, float w,
                float h);
