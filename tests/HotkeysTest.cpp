#include <gtest/gtest.h>

#include <set>

#include "core/Hotkeys.h"

#include <vector>

TEST(Hotkeys, Chords) {
    using A = HotkeyAction;
    const KeyMods none{false, false, false}, ctrl{true, false, false}, ctrlShift{true, true, false},
        ctrlAlt{true, false, true}, alt{false, false, true}, all{true, true, true};
    // Ctrl+Alt+Z acts once (not also as Ctrl+Z) and also while typing; plain Ctrl chords wait while
    // typing; extra modifiers do not match; two chords in one frame both act, undo before redo.
    const struct {
        std::set<int> keys;
        KeyMods mods;
        bool typing;
        std::vector<std::pair<A, int>> want;
    } rows[] = {
        {{'Z'}, ctrlAlt, false, {{A::Undo, 0}}},       {{'Z'}, ctrl, false, {{A::Undo, 0}}},
        {{'Z'}, ctrl, true, {}},                       {{'Z'}, ctrlAlt, true, {{A::Undo, 0}}},
        {{'Y'}, ctrl, false, {{A::Redo, 0}}},          {{'Z'}, ctrlShift, false, {{A::Redo, 0}}},
        {{'Y'}, ctrlAlt, false, {{A::Redo, 0}}},       {{'Y'}, ctrl, true, {}},
        {{'Z'}, ctrlShift, true, {}},                  {{'Z'}, all, false, {}},
        {{'Z'}, none, false, {}},                      {{'Z'}, alt, false, {}},
        {{'G'}, all, false, {}},                       {{HotkeyF1}, ctrl, false, {}},
        {{'0'}, ctrlAlt, false, {{A::Palette, 9}}},    {{'1'}, ctrlAlt, false, {{A::Palette, 0}}},
        {{'9'}, ctrlAlt, false, {{A::Palette, 8}}},    {{'1'}, ctrl, false, {}},
        {{'L'}, ctrlAlt, false, {{A::LoadProject, 0}}}, {{'S'}, ctrlAlt, false, {{A::SaveProject, 0}}},
        {{'E'}, ctrlAlt, false, {{A::Clear, 0}}},      {{'P'}, ctrlAlt, false, {{A::Preferences, 0}}},
        {{'G'}, ctrlAlt, false, {{A::ToggleGrid, 0}}}, {{HotkeyF1}, none, false, {{A::Help, 0}}},
        {{'Z', 'Y'}, ctrlAlt, false, {{A::Undo, 0}, {A::Redo, 0}}},
        {{'L', 'S', 'E'}, ctrl, false, {}},
    };
    for (const auto& r : rows) {
        const std::vector<HotkeyHit> h = matchHotkeys([&](int k) { return r.keys.count(k) > 0; }, r.mods, r.typing);
        ASSERT_EQ(h.size(), r.want.size()) << *r.keys.begin() << " " << r.mods.ctrl << r.mods.shift << r.mods.alt;
        for (size_t k = 0; k < h.size(); ++k) {
            EXPECT_EQ(h[k].action, r.want[k].first) << *r.keys.begin();
            if (r.want[k].first == A::Palette) { EXPECT_EQ(h[k].arg, r.want[k].second) << *r.keys.begin(); }
        }
    }
}
