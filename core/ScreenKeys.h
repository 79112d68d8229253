#pragma once
#include <array>
#include <string_view>
#include <vector>

#include "core/Editor.h"

// The screen editor's own keys as plain data, so what they do is testable
// without a window.
namespace ScreenKeys {

enum class Action { BrushDown, BrushUp, CopyChar, PasteChar, ToggleGrid, Tool, ResetZoom, FlipX, FlipY, Invert };

struct Key {
    char letter;  // 'A'-'Z'
    Action action;
    Editor::Tool tool{};  // the tool Action::Tool picks
};

// The letters pressed without Ctrl, Shift or Alt in every tool but Text, in
// the order they are handled.
extern const std::array<Key, 17> letters;

// Does what the key does to the editor: the brush steps within 1-4, the
// Text tool starts a typing step of its own, and the flips and the inversion
// act only in the Select tool with a selection. The grid and the zoom belong
// to the window: false for them and for a key that did nothing.
bool apply(Editor& ed, const Key& key);

// The reversed screen code Ctrl types in the Text tool: 'A'-'Z' $81-$9A
// ($C1-$DA with Shift), '0'-'9' $B0-$B9 (not with Shift), ' ' $A0; else -1.
int reversedCode(char key, bool shift);

// The screen codes one frame of the Text tool types, in order: the reversed
// code of each of `keys` ('A'-'Z', '0'-'9', ' ', pressed this frame) while Ctrl
// is held without Alt, then the characters the system typed that have a screen
// code. While Ctrl is held without Alt those characters are left out: the
// system types one for some chords as well (X11 for Ctrl+digit and
// Ctrl+Space), which the chord has typed already. Ctrl with Alt is AltGr on
// some systems; its characters are typed.
std::vector<u8> typedCodes(std::string_view keys, bool ctrl, bool alt, bool shift, const std::vector<unsigned>& text);

}  // namespace ScreenKeys
