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
// ImGui::Begin of every such window; it places the window on first use and
// again after ResetLayout. A window still where the default layout put it
// follows the area (main window size, UI scale); one the user moved is kept
// inside it. Nothing moves while the area is empty (a minimised window).
// A window whose title changes passes its "###id" part.
void PlaceWindow(const char* name);
// The default layout applies to every window again from the next frame on.
void ResetLayout();
// Frame-loop hook: call once per frame after the bars and before the windows.
void BeginLayoutFrame();
// Where a window of that name goes in the default layout, inside the area
// left by the bars (x, y, w, h).
ImVec4 DefaultWindowRect(const char* name, ImVec4 area);

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
