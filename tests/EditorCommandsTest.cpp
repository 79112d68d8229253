#include "tests/EditorTestSupport.h"

namespace {

using EditorCommandsTest = EditorFixture;

// The commands the toolbar, the colour editor, the character editor's grid and the screen editor's letter keys
// give the editor.
TEST_F(EditorCommandsTest, Scenarios) {
    const Pokes hires = {{vic(0x11), 0x3B}, {vic(0x16), 0x08}, {vic(0x18), 0x1C}};
    play({
        {"text to hires", 0, {}, "gm3", hires, "gfx mode change", 1},
        {"the mode it has already", 0, {}, "gm0", {}, "", 0},
        {"no such mode", 0, {}, "gm5 gm-1", {}, "", 0},
        {"a mode change undoes whole", 0, {}, "gm4 undo", {{vic(0x11), 0x1B}, {vic(0x16), 0x08}, {vic(0x18), 0x14}}, "", 0},
        {"background and colour RAM", 0, {}, "cols6,-1,-1,3", {{vic(0x21), 6}, {0xD800, 3}}, "textmode color change", 1},
        {"one undo brings back the colour RAM and the register", 0, {{0xD800, 9}, {vic(0x21), 2}}, "cols6,-1,-1,3 undo",
         {{vic(0x21), 2}, {0xD800, 9}}, "", 0},
        {"hires cell colours", 3, {}, "cols-1,7,2,-1", {{0x0400, 0x72}}, "hires color change", 1},
        {"multicolour cell and background", 4, {}, "cols5,-1,-1,4 undo redo", {{vic(0x21), 5}, {0xD800, 4}},
         "multicolor color change", 1},
        {"a stroke takes one step at its first change", 0, {}, "ks3000,0 kp3000,0,0 kp3000,1,0 kp3000,1,2",
         {{0x3000, 0xC0}, {0x3002, 0x40}}, "edit character", 1},
        {"a stroke that changes nothing takes none", 0, {}, "ks3000,1 kp3000,3,3", {}, "", 0},
        {"an undo ends the stroke", 0, {}, "ks3000,0 kp3000,0,0 undo kp3000,1,0", {{0x3000, 0}}, "", 0},
        {"another character ends the stroke", 0, {}, "ks3000,0 kp3000,0,0 kp3008,0,0", {{0x3000, 0x80}, {0x3008, 0}},
         "edit character", 1},
        {"multicolour pen 2, then erasing", 0, {{vic(0x16), 0x18}}, "p2 ks3000,0 kp3000,2,0 kp3000,7,7 ks3000,1 kp3000,7,7",
         {{0x3000, 0x20}, {0x3007, 0}}, "edit character", 2},
        {"brush keys stay within 1-4", 3, {}, "keyA keyZ keyZ keyZ keyZ", {}, "", 0},
        {"tool keys, flips only with a selection in the Select tool", 3, {{0x2000, 0x80}},
         "keyL keyX sel0,0,0,0 keyX keyS keyX keyI", {{0x2000, 0xFE}}, "hires invert block", 2},
        {"T starts a typing step of its own", 0, {}, "@0,0 keyT t1 keyS keyT t2", {{0x0400, 1}, {0x0401, 2}}, "textmode text", 2},
        {"C and V copy and paste the cursor's character", 0, {{0x0400, 0x41}, {0xD800, 5}}, "@0,0 keyC @3,0 keyV",
         {{0x0403, 0x41}, {0xD803, 5}}, "textmode paste", 1},
        {"a RAM set filled from elsewhere", 0, {{vic(0x18), 0x1C}, {0x5000, 0x77}, {0x57FF, 0x99}}, "set5000",
         {{0x3000, 0x77}, {0x37FF, 0x99}}, "ROM charset", 1},
        {"a RAM set cleared, and back in one undo", 0, {{vic(0x18), 0x1C}, {0x3000, 0x42}, {0x37FF, 0x43}}, "setz",
         {{0x3000, 0}, {0x37FF, 0}}, "clear charset", 1},
        {"", 0, {{vic(0x18), 0x1C}, {0x3000, 0x42}, {0x37FF, 0x43}}, "setz undo", {{0x3000, 0x42}, {0x37FF, 0x43}}, "", 0},
        {"the ROM set is not filled", 0, {}, "setz set5000", {}, "", 0},
        {"Ctrl+Shift flips the half and back, with no step", 0, {}, "half", {{vic(0x18), 0x16}}, "", 0},
        {"", 0, {}, "half half", {{vic(0x18), 0x14}}, "", 0},
        {"the tools bar's background, one step for the same colour twice", 0, {}, "reg21=6 reg21=6", {{vic(0x21), 6}},
         "background color", 1},
    });
    EXPECT_EQ(e.brush, 1);
}

// Ctrl with a key in the Text tool types the reversed codes.
TEST(ScreenKeys, ReversedCodes) {
    const struct {
        char key;
        bool shift;
        int code;
    } rows[] = {{'A', false, 0x81}, {'Z', false, 0x9A}, {'A', true, 0xC1}, {'Z', true, 0xDA}, {'0', false, 0xB0},
                {'9', false, 0xB9}, {'9', true, -1},    {' ', false, 0xA0}, {'a', false, -1},  {'-', false, -1}};
    for (const auto& r : rows) EXPECT_EQ(ScreenKeys::reversedCode(r.key, r.shift), r.code) << r.key << r.shift;
}

}  // namespace
