#include "tests/EditorTestSupport.h"

using namespace VicReg;

namespace {

using EditorCommandsTest = EditorFixture;

// The commands the toolbar, the colour editor, the character editor's grid and the screen editor's letter keys
// give the editor.
TEST_F(EditorCommandsTest, Scenarios) {
    const Pokes hires = {{vic(Control1), 0x3B}, {vic(Control2), 0x08}, {vic(MemoryPointers), 0x1C}};
    play({
        {"text to hires", 0, {}, "toolbar-mode 3", hires, "gfx mode change", 1},
        {"the mode it has already", 0, {}, "toolbar-mode 0", {}, "", 0},
        {"no such mode", 0, {}, "toolbar-mode 5 toolbar-mode -1", {}, "", 0},
        {"a mode change undoes whole", 0, {}, "toolbar-mode 4 undo",
         {{vic(Control1), 0x1B}, {vic(Control2), 0x08}, {vic(MemoryPointers), 0x14}}, "", 0},
        {"background and colour RAM", 0, {}, "colour-editor 6,-1,-1,3", {{vic(Background0), 6}, {0xD800, 3}},
         "textmode color change", 1},
        {"one undo brings back the colour RAM and the register", 0, {{0xD800, 9}, {vic(Background0), 2}},
         "colour-editor 6,-1,-1,3 undo", {{vic(Background0), 2}, {0xD800, 9}}, "", 0},
        {"hires cell colours", 3, {}, "colour-editor -1,7,2,-1", {{0x0400, 0x72}}, "hires color change", 1},
        {"multicolour cell and background", 4, {}, "colour-editor 5,-1,-1,4 undo redo", {{vic(Background0), 5}, {0xD800, 4}},
         "multicolor color change", 1},
        {"a stroke takes one step at its first change", 0, {}, "stroke 3000,0 paint 3000,0,0 paint 3000,1,0 paint 3000,1,2",
         {{0x3000, 0xC0}, {0x3002, 0x40}}, "edit character", 1},
        {"a stroke that changes nothing takes none", 0, {}, "stroke 3000,1 paint 3000,3,3", {}, "", 0},
        {"an undo ends the stroke", 0, {}, "stroke 3000,0 paint 3000,0,0 undo paint 3000,1,0", {{0x3000, 0}}, "", 0},
        {"another character ends the stroke", 0, {}, "stroke 3000,0 paint 3000,0,0 paint 3008,0,0",
         {{0x3000, 0x80}, {0x3008, 0}}, "edit character", 1},
        {"multicolour pen 2, then erasing", 0, {{vic(Control2), 0x18}},
         "pen 2 stroke 3000,0 paint 3000,2,0 paint 3000,7,7 stroke 3000,1 paint 3000,7,7",
         {{0x3000, 0x20}, {0x3007, 0}}, "edit character", 2},
        {"brush keys stay within 1-4", 3, {}, "letter A letter Z letter Z letter Z letter Z", {}, "", 0},
        {"tool keys, flips only with a selection in the Select tool", 3, {{0x2000, 0x80}},
         "letter L letter X select 0,0,0,0 letter X letter S letter X letter I", {{0x2000, 0xFE}}, "hires invert block", 2},
        {"T starts a typing step of its own", 0, {}, "cursor 0,0 letter T type 1 letter S letter T type 2",
         {{0x0400, 1}, {0x0401, 2}}, "textmode text", 2},
        {"C and V copy and paste the cursor's character", 0, {{0x0400, 0x41}, {0xD800, 5}},
         "cursor 0,0 letter C cursor 3,0 letter V", {{0x0403, 0x41}, {0xD803, 5}}, "textmode paste", 1},
        {"a RAM set filled from elsewhere", 0, {{vic(MemoryPointers), 0x1C}, {0x5000, 0x77}, {0x57FF, 0x99}}, "fill-set 5000",
         {{0x3000, 0x77}, {0x37FF, 0x99}}, "ROM charset", 1},
        {"a RAM set cleared, and back in one undo", 0, {{vic(MemoryPointers), 0x1C}, {0x3000, 0x42}, {0x37FF, 0x43}}, "clear-set",
         {{0x3000, 0}, {0x37FF, 0}}, "clear charset", 1},
        {"", 0, {{vic(MemoryPointers), 0x1C}, {0x3000, 0x42}, {0x37FF, 0x43}}, "clear-set undo", {{0x3000, 0x42}, {0x37FF, 0x43}},
         "", 0},
        {"the ROM set is not filled", 0, {}, "clear-set fill-set 5000", {}, "", 0},
        {"Ctrl+Shift flips the half and back, with no step", 0, {}, "flip-half", {{vic(MemoryPointers), 0x16}}, "", 0},
        {"", 0, {}, "flip-half flip-half", {{vic(MemoryPointers), 0x14}}, "", 0},
        {"the tools bar's background, one step for the same colour twice", 0, {}, "register 21=6 register 21=6",
         {{vic(Background0), 6}}, "background color", 1},
    });
    EXPECT_EQ(e.brush, 1);
}

// A script fault names the word; what follows it does not run, what comes before it does.
TEST_F(EditorCommandsTest, ScriptFaultsNameTheWord) {
    const struct { const char *script, *fault; int typed; } rows[] = {
        {"cursor 0,0 type 41 frobnicate type 42", "unknown word frobnicate", 0x41},
        {"cursor 0,0 t41", "unknown word t41", 0x20},
        {"cursor 0,0 type", "no argument after type", 0x20},
        {"cursor 0,0 type 4G", "not a number after type: 4G", 0x20},
        {"cursor 0,0 type 41,42", "not 1 numbers after type: 41,42", 0x20},
        {"cursor 0,0 type , type 42", "not a number after type: ,", 0x20},
        {"cursor 0 type 41", "not 2 numbers after cursor: 0", 0x20},
        {"cursor 0,0 letter AB type 41", "not one letter after letter: AB", 0x20},
        {"cursor 0,0 Up type 41", "unknown word Up", 0x20},
    };
    for (const auto& r : rows) {
        mode(GfxMode::Text);
        EXPECT_EQ(tryRun(r.script), r.fault) << r.script;
        EXPECT_EQ(m->ram[0x0400], r.typed) << r.script;
    }
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

// One frame of the Text tool: the chords' reversed codes, then what the system typed, which a Ctrl chord
// (without Alt) brings along as well and must not type a second time.
TEST(ScreenKeys, TypedCodes) {
    const struct {
        const char* keys;
        bool ctrl, alt, shift;
        std::vector<unsigned> text;
        std::vector<u8> codes;
    } rows[] = {
        {"1", true, false, false, {'1'}, {0xB1}},           // Ctrl+1: X11 types "1" as well
        {" ", true, false, false, {' '}, {0xA0}},           // Ctrl+Space likewise
        {"A", true, false, false, {}, {0x81}},              // Ctrl+A: no text
        {"A", true, false, true, {}, {0xC1}},               // Ctrl+Shift+A
        {"1", true, false, true, {'!'}, {}},                // Ctrl+Shift+1: no reversed digit, "!" not typed
        {"", true, false, false, {'.'}, {}},                // a character typed while Ctrl is held
        {"", false, false, false, {'a', '1', ' '}, {0x01, 0x31, 0x20}},
        {"Q", true, true, false, {'@'}, {0x00}},            // AltGr+Q (Ctrl+Alt) types its "@"
        {"", false, false, false, {0x20AC, 'b'}, {0x02}},   // a character without a screen code is left out
    };
    for (const auto& r : rows)
        EXPECT_EQ(ScreenKeys::typedCodes(r.keys, r.ctrl, r.alt, r.shift, r.text), r.codes)
            << r.keys << r.ctrl << r.alt << r.shift;
}

}  // namespace
