#include "core/Hotkeys.h"

std::vector<HotkeyHit> matchHotkeys(const std::function<bool(int key)>& pressed, KeyMods mods, bool textTyping) {
    std::vector<HotkeyHit> hits;
    const KeyMods ctrl{true, false, false};
    const KeyMods ctrlShift{true, true, false};
    const KeyMods ctrlAlt{true, false, true};
    const KeyMods none{};
    auto chord = [&](int key, KeyMods want) { return chordMatches(mods, want) && pressed(key); };

    if (chord('Z', ctrlAlt)) hits.push_back({HotkeyAction::Undo, 0});
    if (chord('Y', ctrlAlt)) hits.push_back({HotkeyAction::Redo, 0});
    if (!textTyping) {
        if (chord('Z', ctrl)) hits.push_back({HotkeyAction::Undo, 0});
        if (chord('Y', ctrl) || chord('Z', ctrlShift)) hits.push_back({HotkeyAction::Redo, 0});
    }
    if (chord('L', ctrlAlt)) hits.push_back({HotkeyAction::LoadProject, 0});
    if (chord('S', ctrlAlt)) hits.push_back({HotkeyAction::SaveProject, 0});
    if (chord('E', ctrlAlt)) hits.push_back({HotkeyAction::Clear, 0});
    if (chord('P', ctrlAlt)) hits.push_back({HotkeyAction::Preferences, 0});
    if (chord('G', ctrlAlt)) hits.push_back({HotkeyAction::ToggleGrid, 0});
    if (chord('0', ctrlAlt)) hits.push_back({HotkeyAction::Palette, 9});
    for (int d = 1; d <= 9; ++d)
        if (chord('0' + d, ctrlAlt)) hits.push_back({HotkeyAction::Palette, d - 1});
    if (chord(HotkeyF1, none)) hits.push_back({HotkeyAction::Help, 0});
    return hits;
}
