#include <gtest/gtest.h>

#include <set>

#include "core/Hotkeys.h"

namespace {

std::vector<HotkeyHit> hits(std::set<int> keys, KeyMods mods, bool textTyping = false) {
    return matchHotkeys([&](int k) { return keys.count(k) > 0; }, mods, textTyping);
}

KeyMods mods(bool ctrl, bool shift, bool alt) { return KeyMods{ctrl, shift, alt}; }

}  // namespace

TEST(Hotkeys, CtrlAltZUndoesOnceNotAlsoAsCtrlZ) {
    auto h = hits({'Z'}, mods(true, false, true));
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h[0].action, HotkeyAction::Undo);
}

TEST(Hotkeys, CtrlZUndoesUnlessTextTyping) {
    auto h = hits({'Z'}, mods(true, false, false));
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h[0].action, HotkeyAction::Undo);
    EXPECT_TRUE(hits({'Z'}, mods(true, false, false), true).empty());
    // Ctrl+Alt+Z works while typing.
    auto t = hits({'Z'}, mods(true, false, true), true);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].action, HotkeyAction::Undo);
}

TEST(Hotkeys, RedoChords) {
    auto y = hits({'Y'}, mods(true, false, false));
    ASSERT_EQ(y.size(), 1u);
    EXPECT_EQ(y[0].action, HotkeyAction::Redo);
    auto sz = hits({'Z'}, mods(true, true, false));
    ASSERT_EQ(sz.size(), 1u);
    EXPECT_EQ(sz[0].action, HotkeyAction::Redo);
    auto ay = hits({'Y'}, mods(true, false, true));
    ASSERT_EQ(ay.size(), 1u);
    EXPECT_EQ(ay[0].action, HotkeyAction::Redo);
    EXPECT_TRUE(hits({'Y'}, mods(true, false, false), true).empty());
    EXPECT_TRUE(hits({'Z'}, mods(true, true, false), true).empty());
}

TEST(Hotkeys, ExtraModifiersDoNotMatch) {
    EXPECT_TRUE(hits({'Z'}, mods(true, true, true)).empty());
    EXPECT_TRUE(hits({'Z'}, mods(false, false, false)).empty());
    EXPECT_TRUE(hits({'Z'}, mods(false, false, true)).empty());
    EXPECT_TRUE(hits({'G'}, mods(true, true, true)).empty());
    EXPECT_TRUE(hits({HotkeyF1}, mods(true, false, false)).empty());
}

TEST(Hotkeys, PaletteDigits) {
    auto zero = hits({'0'}, mods(true, false, true));
    ASSERT_EQ(zero.size(), 1u);
    EXPECT_EQ(zero[0].action, HotkeyAction::Palette);
    EXPECT_EQ(zero[0].arg, 9);
    for (int d = 1; d <= 9; ++d) {
        auto h = hits({'0' + d}, mods(true, false, true));
        ASSERT_EQ(h.size(), 1u);
        EXPECT_EQ(h[0].action, HotkeyAction::Palette);
        EXPECT_EQ(h[0].arg, d - 1);
    }
    EXPECT_TRUE(hits({'1'}, mods(true, false, false)).empty());
}

TEST(Hotkeys, OtherChordsAndOrder) {
    EXPECT_EQ(hits({'L'}, mods(true, false, true))[0].action, HotkeyAction::LoadProject);
    EXPECT_EQ(hits({'S'}, mods(true, false, true))[0].action, HotkeyAction::SaveProject);
    EXPECT_EQ(hits({'E'}, mods(true, false, true))[0].action, HotkeyAction::Clear);
    EXPECT_EQ(hits({'P'}, mods(true, false, true))[0].action, HotkeyAction::Preferences);
    EXPECT_EQ(hits({'G'}, mods(true, false, true))[0].action, HotkeyAction::ToggleGrid);
    EXPECT_EQ(hits({HotkeyF1}, mods(false, false, false))[0].action, HotkeyAction::Help);
    // Two chords pressed in one frame both act, undo before redo.
    auto two = hits({'Z', 'Y'}, mods(true, false, true));
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].action, HotkeyAction::Undo);
    EXPECT_EQ(two[1].action, HotkeyAction::Redo);
    // Letters without a chord do nothing.
    EXPECT_TRUE(hits({'L', 'S', 'E'}, mods(true, false, false)).empty());
}
