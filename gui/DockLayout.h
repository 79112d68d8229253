#pragma once
// The main dock space over the main window and its default layout: the screen
// on the left, the other windows in two stacks on the right. The layout is kept
// in the layout file between runs.
#include <imgui.h>

namespace DockLayout {

// The dock space's id ("MainDockSpace").
ImGuiID MainId();

// Before the first frame: gives the library the saved layout when it is sound.
// A damaged file is set aside and named on standard error; the default layout is used then.
void LoadSaved();
// Writes the layout file, unless the file found at start could not be read.
void Save();

// Once per frame, after the bars and before the windows. Builds the default
// layout when `reset` is set, or, until `checked` is set, when no saved
// layout holds the dock space; then covers the area the bars leave with it.
// Keeps floating windows inside that area and each node's chosen tab in sight.
// Clears `reset` and sets `checked`.
void Frame(bool& reset, bool& checked);

}  // namespace DockLayout
