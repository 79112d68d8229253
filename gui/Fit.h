#pragma once
// Fitting controls and text into a window of any width.
#include <imgui.h>

namespace Fit {

// Ends the row with the last item unless an item of that width still fits
// before the right edge of the content region: long rows wrap.
void SameLineIfFits(float width);
// Text wraps at the window's visible right edge. Plain wrapping follows the
// content's width in a window that scrolls sideways, which wrapped text itself
// widens: it would never narrow again. Pair with ImGui::PopTextWrapPos.
void PushWrapAtEdge();
// The widths of a button and a check box with that label.
float ButtonWidth(const char* label);
float CheckboxWidth(const char* label);

// True while no popup is open: a modal must wait for its turn instead of
// opening over (and so closing) another one.
bool NoPopupOpen();
// True while a modal popup is shown: it owns the keyboard then.
bool ModalOpen();

// Keeps a floating window's size within the main window's work area, so that
// none opens larger than the main window, and lets it be made smaller than its
// content: what does not fit scrolls. Call before ImGui::Begin.
void LimitFloatingWindow();

// A window's size the first time it is ever shown (no larger than the main
// window's work area), centred there; the library keeps later sizes, and a
// docked window takes its node's.
void FirstUse(ImVec2 size);

}  // namespace Fit
