#pragma once
// What this program needs from Dear ImGui that the 1.86 release lacks, in one place.
#include <imgui.h>

#include <cstdint>

namespace Compat {

// A separator with a caption, as later releases draw it.
void SeparatorText(const char* label);

// Keys are indexed by SDL scancode in this release's io.KeysDown[].
int KeyLetter(char upper);  // 'A'..'Z'
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

}  // namespace Compat
