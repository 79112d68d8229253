#pragma once
#include <functional>
#include <vector>

// The global hotkeys as plain data, so their matching is testable without a window.

struct KeyMods {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

// Exact modifier sets: Ctrl+Alt+Z is not also Ctrl+Z.
inline bool chordMatches(KeyMods held, KeyMods wanted) {
    return held.ctrl == wanted.ctrl && held.shift == wanted.shift && held.alt == wanted.alt;
}

enum class HotkeyAction { Undo, Redo, LoadProject, SaveProject, Clear, Preferences, ToggleGrid, Palette, Help };

struct HotkeyHit {
    HotkeyAction action;
    int arg;  // palette index for Palette, else 0
};

// Key codes handed to the pressed-key query: 'A'-'Z', '0'-'9' and F1.
constexpr int HotkeyF1 = 0x101;

// The hotkeys that fire this frame, in the order they are handled.
// `textTyping`: the Text tool is active and the screen has focus, which leaves
// Ctrl+Z and Ctrl+Y to typing.
std::vector<HotkeyHit> matchHotkeys(const std::function<bool(int key)>& pressed, KeyMods mods, bool textTyping);
