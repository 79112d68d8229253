#pragma once
// What this program needs from Dear ImGui that the 1.86 release lacks, in one place.
#include <imgui.h>

#include <cstdint>

namespace Compat {

// A separator with a caption, as later releases draw it.
void SeparatorText(const char* label);

// Keys are indexed by SDL scancode in this release's io.KeysDown[].
int KeyLetter(char upper);  // 'A'..'Z', the key that types it in the current layout
int KeyDigit(int d);        // top-row 0..9
int KeyF(int n);            // F1..F12
enum NamedKey {
    Key_Space, Key_Escape, Key_Return, Key_KeypadEnter, Key_Insert, Key_Delete, Key_Backspace,
    Key_Up, Key_Down, Key_Left, Key_Right, Key_Home, Key_Minus, Key_Equals, Key_KeypadPlus,
    Key_KeypadMinus, Key_LeftShift, Key_RightShift, Key_LeftCtrl, Key_RightCtrl,
};
int Key(NamedKey k);

// The last item hovered for the short tooltip delay of later releases.
bool IsItemHoveredShort();

// A GL texture name as this release's ImTextureID (a pointer).
inline ImTextureID TexId(unsigned int glName) { return (ImTextureID)(uintptr_t)glName; }
template <class T>
inline ImTextureID TexId(const T& texture) { return TexId(texture.id); }

// A bar at an edge of the main window, as ImGui::BeginViewportSideBar; always
// pair with ImGui::End. The area it takes is left out of the window layout.
bool BeginSideBar(const char* name, ImGuiDir dir, float size, ImGuiWindowFlags flags = 0);

// Stands in for the dock space: the default layout gives every open window a
// tile of its own (see DefaultWindowRect), as docked tabs never overlap. Call before
// ImGui::Begin of every such window. A window takes its tile of the current
// tiling whenever it opens and follows it (other windows opening or closing,
// the main window's size, the UI scale), unless the user moved or resized it
// in this layout: then it keeps its place inside the area. Nothing moves while
// the area is empty (a minimised window). A window whose title changes passes
// its "###id" part.
void PlaceWindow(const char* name);
// Once after the GUI context is made and before the layout file is read: the
// layout file also keeps which windows the user placed.
void InitLayout();
// Every window takes its tile again, the ones opened later too.
void ResetLayout();
// Frame-loop hook: call once per frame after the bars and before the windows.
void BeginLayoutFrame();
// Where a window of that name goes in the default layout, inside the area
// left by the bars (x, y, w, h), with the windows open now.
ImVec4 DefaultWindowRect(const char* name, ImVec4 area);

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

// A font at a pixel size (12 is its loaded size); later releases push both at
// once. A null font keeps the current one. Pair each push with a pop.
void PushFontSize(ImFont* font, float size);
void PopFontSize(ImFont* font);

// The main font scale (the UI scale); later releases keep it in the style.
void SetFontScale(float scale);

// True while no popup is open: a modal must wait for its turn instead of
// opening over (and so closing) another one.
bool NoPopupOpen();
// True while a modal popup is shown: it owns the keyboard then.
bool ModalOpen();


// Synthetic input for the self-test. This release has no input-event queue
// and its SDL back end rereads mouse and keys every frame, so the state is
// kept here and written into ImGuiIO by ApplySynthInput after the back end's
// new frame and before ImGui::NewFrame.
// Keys use the later releases' numbers: letters ImGuiKey 546 ('A') to 571
// ('Z'), modifiers ModCtrl, ModShift and ModAlt.
constexpr ImGuiKey KeyLetterA = 546;
constexpr ImGuiKey ModCtrl = 0x1000, ModShift = 0x2000, ModAlt = 0x4000;
void SynthMousePos(float x, float y);
void SynthMouseButton(int button, bool down);
void SynthKey(ImGuiKey key, bool down);
void ApplySynthInput();

}  // namespace Compat
