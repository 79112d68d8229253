#pragma once
// The main dock space over the main window and its default layout: the screen
// on the left, the other windows in two stacks on the right.
#include <imgui.h>

namespace DockLayout {

// The dock space's id ("MainDockSpace").
ImGuiID MainId();

// Once per frame, after the bars and before the windows. Builds the default
// layout when `reset` is set, or, until `checked` is set, when no saved
// layout holds the dock space; then covers the main viewport with it.
// Clears `reset` and sets `checked`.
void Frame(bool& reset, bool& checked);

}  // namespace DockLayout
