#pragma once
// Keys by what they type or name: the SDL back end hands the library keys by
// keycode, so a letter is the key that types it in the user's layout.
#include <imgui.h>

namespace Keys {

inline ImGuiKey letter(char upper) { return ImGuiKey(ImGuiKey_A + (upper - 'A')); }
inline ImGuiKey digit(int d) { return ImGuiKey(ImGuiKey_0 + d); }
inline ImGuiKey f(int n) { return ImGuiKey(ImGuiKey_F1 + (n - 1)); }

}  // namespace Keys
