#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "core/CharEdit.h"
#include "core/Editor.h"
#include "core/Machine.h"
#include "core/ScreenKeys.h"
#include "core/UndoBuffer.h"

// Bytes by address, to set up memory or to compare with it as a whole; VIC register r is at vic(r).
using Pokes = std::vector<std::pair<int, int>>;
constexpr int vic(int r) { return 0x10000 + r; }

// What a user does from a mode and memory set up for it: the memory after it (all unchanged when none
// is given), the newest undo step's name and the number of steps (not looked at when the name is
// null), the text cursor ({-1, -1}) and the pen (-1: not looked at).
struct Scenario {
    const char* name;
    int mode;
    Pokes setup;
    std::string script;
    Pokes want;
    const char* undoName = nullptr;
    size_t steps = 0;
    std::array<int, 2> cursor = {-1, -1};
    int pen = -1;
};

// The rows the word store-char stores.
constexpr u8 counting[8] = {1, 2, 3, 4, 5, 6, 7, 8};

// A reset machine with its undo buffer and editor, and helpers to set up the screen.
struct EditorFixture : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    UndoBuffer u{*m};
    Editor e{*m, u};
    PixelOperator probe{*m};

    void SetUp() override {
        m->reset();
        for (int i = 0; i < 4096; ++i) m->charRom[i] = u8(i * 7 + 3 + (i >> 8));  // the two halves differ
        mode(GfxMode::Text);
    }

    // Mode n with screen $0400 of spaces in text, of screenFill in a bitmap; bitmap $2000 cleared,
    // colour RAM 0, background 0.
    void mode(int n, u8 screenFill = 0x10) {
        m->setGfxMode(n);
        std::memset(m->ram + 0x2000, 0, 8192);
        std::memset(m->ram + 0x0400, n >= GfxMode::Bitmap ? screenFill : 0x20, 1000);
        std::memset(m->ram + 0xD800, 0, 1000);
        m->vic[VicReg::Background0] = 0;
    }
    u8& at(int address) const { return address >= vic(0) ? m->vic[address - vic(0)] : m->ram[address]; }
    void poke(const Pokes& bytes) {
        for (auto [a, v] : bytes) at(a) = u8(v);
    }
    // The eight bytes of a character from `at` on, as rows gives them, after more.
    static Pokes glyph(int at, const u8* rows, Pokes more = {}) {
        for (int i = 0; i < 8; ++i) more.push_back({at + i, rows[i]});
        return more;
    }
    Bytes ram() const { return Bytes(m->ram, m->ram + 65536); }
    u8 px(int x, int y) const { return probe.GetPixel(x, y); }

    // What a user does, as words, some followed by one argument: numbers joined by "," or "=", in the
    // base the word gives, or a letter.
    struct Word {
        int count;  // numbers in the argument; 0: the word stands alone; -1: a letter
        int base;
        std::function<void(const std::vector<int>&)> act;
    };
    CharEdit::Stroke stroke;
    std::map<std::string, Word> words() {
        using Args = const std::vector<int>&;
        auto plain = [](std::function<void()> f) { return Word{0, 10, [f](Args) { f(); }}; };
        auto call = [&](auto method) { return plain([this, method] { (e.*method)(); }); };
        std::map<std::string, Word> w = {
            // The text cursor, typing and the editing keys (below, each also as shift+<key>).
            {"cursor", {2, 10, [&](Args a) { e.cursorCol = a[0], e.cursorRow = a[1]; }}},
            {"type", {1, 16, [&](Args a) { e.typeChar(u8(a[0])); }}},
            {"editkey", {1, 10, [&](Args a) { e.editKey(EditKey(a[0]), false); }}},
            {"shift+editkey", {1, 10, [&](Args a) { e.editKey(EditKey(a[0]), true); }}},
            // The drawing state: pen, tool, brush, filled shapes, the Shift key held, refusing new
            // multicolour colours, and the pixel warning that must be up (a row ending with one not taken fails).
            {"pen", {1, 10, [&](Args a) { m->pen = a[0]; }}},
            {"tool", {1, 10, [&](Args a) { e.tool = Editor::Tool(a[0]); }}},
            {"brush", {1, 10, [&](Args a) { e.brush = a[0]; }}},
            {"filled", plain([&] { e.filled = true; })},
            {"shift", plain([&] { e.shift = true; })},
            {"no-new-colours", plain([&] { e.pixels.noNewColours = true; })},
            {"warned", plain([&] { EXPECT_TRUE(e.takePixelWarning()); })},
            // The mouse on the screen, in screen pixels: x,y,button and x,y.
            {"press", {3, 10, [&](Args a) { e.mouseDown(a[0], a[1], a[2]); }}},
            {"move", {2, 10, [&](Args a) { e.mouseMove(a[0], a[1]); }}},
            {"release", {3, 10, [&](Args a) { e.mouseUp(a[0], a[1], a[2]); }}},
            // Changes from outside the editor, as a load makes them: graphics mode, VIC bank, a VIC
            // register and a byte of memory (register=value, address=value).
            {"mode", {1, 10, [&](Args a) { m->setGfxMode(a[0]); }}},
            {"bank", {1, 10, [&](Args a) { m->bank = u16(a[0]); }}},
            {"vic", {2, 16, [&](Args a) { m->vic[a[0]] = u8(a[1]); }}},
            {"poke", {2, 16, [&](Args a) { m->ram[a[0] & 0xFFFF] = u8(a[1]); }}},
            // Cell (0, 0)'s colours: slot,colour and slot,step; the colour editor's four slots (-1 leaves one).
            {"cell-colour", {2, 10, [&](Args a) { e.setCellColor(a[0], 0, 0, a[1]); }}},
            {"cycle-colour", {2, 10, [&](Args a) { e.cycleCellColor(a[0], 0, 0, a[1]); }}},
            {"colour-editor", {4, 10, [&](Args a) { e.setCellColors(0, 0, a.data()); }}},
            // Clearing the screen: way,value.
            {"clear", {2, 16, [&](Args a) { e.clearScreen(ClearMode(a[0]), a[1]); }}},
            // Blocks: a selection x0,y0,x1,y1 in cells, and what is done with it.
            {"select", {4, 10, [&](Args a) {
                 e.selX0 = a[0], e.selY0 = a[1], e.selX1 = a[2], e.selY1 = a[3], e.hasSelection = true;
             }}},
            {"deselect", plain([&] { e.hasSelection = false; })},
            {"select-all", call(&Editor::selectAll)},
            {"copy", call(&Editor::copyBlock)},
            {"cut", call(&Editor::cutBlock)},
            {"clear-block", call(&Editor::clearBlock)},
            {"flip-x", call(&Editor::flipBlockX)},
            {"flip-y", call(&Editor::flipBlockY)},
            {"invert", call(&Editor::invertBlock)},
            {"paste", call(&Editor::startPaste)},
            {"commit", call(&Editor::commitPaste)},
            {"cancel", call(&Editor::cancelPaste)},
            // The character clipboard.
            {"copy-char", call(&Editor::copyChar)},
            {"paste-char", call(&Editor::pasteChar)},
            // Undo and redo, ending what is pending, and a step captured but not stored.
            {"undo", call(&Editor::undoLast)},
            {"redo", call(&Editor::redoLast)},
            {"settle", call(&Editor::commitPendingEdits)},
            {"capture", plain([&] { u.capture(UndoBuffer::KindAll, "capture"); })},
            // The character set window: typing a code from the set, storing `counting` at an address, and
            // its menus: VIC bank, the second half of the set (0/1), the set's slot and Multi (0/1).
            {"type-from-set", {1, 16, [&](Args a) { CharEdit::typeFromCharset(e, u8(a[0])); }}},
            {"store-char", {1, 16, [&](Args a) { CharEdit::store(e, u16(a[0]), counting, "paste char"); }}},
            {"vic-bank", {1, 10, [&](Args a) { BankSelect::vicBank(e, a[0]); }}},
            {"char-half", {1, 10, [&](Args a) { BankSelect::charBank(e, a[0]); }}},
            {"charset-slot", {1, 10, [&](Args a) { BankSelect::charsetSlot(e, a[0]); }}},
            {"multi", {1, 10, [&](Args a) { BankSelect::multicolor(e, a[0]); }}},
            // The character editor: a stroke on the character at an address (address,erasing), painting its
            // pixel (address,x,y) in the pen and $D016's mode; filling the set from an address, clearing it.
            {"stroke", {2, 16, [&](Args a) { CharEdit::beginStroke(stroke, u, u16(a[0]), a[1]); }}},
            {"paint", {3, 16, [&](Args a) {
                 CharEdit::strokeTo(stroke, *m, u, u16(a[0]), m->vic[VicReg::Control2] & VicReg::Control2Mcm,
                                    m->pen, a[1], a[2]);
             }}},
            {"fill-set", {1, 16, [&](Args a) { CharEdit::fillSet(e, m->ram + (a[0] & 0xF800), "ROM charset"); }}},
            {"clear-set", plain([&] { CharEdit::fillSet(e, nullptr, "clear charset"); })},
            // The toolbar's graphics mode, the tools bar's background pick (register=value), Ctrl+Shift's
            // half of the set, and a letter key of the screen editor.
            {"toolbar-mode", {1, 10, [&](Args a) { BankSelect::gfxMode(e, a[0]); }}},
            {"register", {2, 16, [&](Args a) { BankSelect::setRegister(e, a[0], a[1], "background color"); }}},
            {"flip-half", plain([&] { BankSelect::flipCharsetHalf(e); })},
            {"letter", {-1, 0, [&](Args a) { letter(char(a[0])); }}},
        };
        const std::pair<const char*, EditKey> keys[] = {
            {"up", EditKey::Up},         {"down", EditKey::Down},     {"left", EditKey::Left},
            {"right", EditKey::Right},   {"return", EditKey::Return}, {"home", EditKey::Home},
            {"insert", EditKey::Insert}, {"delete", EditKey::Delete}, {"backspace", EditKey::Backspace}};
        for (auto [name, key] : keys)
            for (bool shift : {false, true})
                w[(shift ? "shift+" : "") + std::string(name)] = plain([this, key, shift] { e.editKey(key, shift); });
        return w;
    }
    void letter(char l) {
        auto k = std::find_if(ScreenKeys::letters.begin(), ScreenKeys::letters.end(),
                              [l](const ScreenKeys::Key& key) { return key.letter == l; });
        ASSERT_NE(k, ScreenKeys::letters.end()) << l;
        ScreenKeys::apply(e, *k);
    }
    // Runs a script; what is wrong with it, naming the word, or "" when nothing. Nothing after a fault runs.
    std::string tryRun(const std::string& script) {
        const std::map<std::string, Word> table = words();
        std::istringstream in(script);
        for (std::string w; in >> w;) {
            const auto it = table.find(w);
            if (it == table.end()) return "unknown word " + w;
            const Word& word = it->second;
            std::vector<int> args;
            std::string arg;
            if (word.count != 0 && !(in >> arg)) return "no argument after " + w;
            if (word.count < 0) {
                if (arg.size() != 1) return "not one letter after " + w + ": " + arg;
                args.push_back(arg[0]);
            }
            for (size_t at = 0; word.count > 0 && at <= arg.size();) {
                const size_t end = std::min(arg.find_first_of(",=", at), arg.size());
                const std::string number = arg.substr(at, end - at);
                char* stop = nullptr;
                args.push_back(int(std::strtol(number.c_str(), &stop, word.base)));
                if (number.empty() || *stop) return "not a number after " + w + ": " + arg;
                at = end + 1;
            }
            if (word.count > 0 && int(args.size()) != word.count)
                return "not " + std::to_string(word.count) + " numbers after " + w + ": " + arg;
            word.act(args);
        }
        return "";
    }
    void run(const std::string& script) { EXPECT_EQ(tryRun(script), "") << script; }
    // Each from a fresh undo history, the text tool, no selection and the default registers of the
    // mode; the clipboards carry over.
    void play(const std::vector<Scenario>& rows) {
        for (const Scenario& r : rows) {
            SCOPED_TRACE(r.name);
            mode(r.mode);
            m->bank = 0;
            m->vic[VicReg::MemoryPointers] = r.mode >= GfxMode::Bitmap ? 0x18 : 0x14;
            u.Clear();
            e.tool = Editor::ToolText, e.brush = 1;
            e.insert = e.hasSelection = e.filled = e.shift = false;
            e.textUndoPending = true;
            e.pixels.noNewColours = false;
            stroke = {};
            m->pen = 0;
            poke(r.setup);
            const Bytes before = ram();
            run(r.script);
            // What a row leaves out is taken as it is.
            EXPECT_EQ(r.want.empty() ? ram() : before, before);
            Pokes now;
            for (auto [a, v] : r.want) now.push_back({a, at(a)});
            EXPECT_EQ(now, r.want);
            if (r.undoName) {
                EXPECT_EQ(std::pair(u.undoName(), u.undo.size()), std::pair(std::string(r.undoName), r.steps));
            }
            EXPECT_EQ((r.cursor[0] < 0 ? r.cursor : std::array{e.cursorCol, e.cursorRow}), r.cursor);
            EXPECT_EQ(r.pen < 0 ? r.pen : m->pen, r.pen);
            // A finished drag keeps no backup of the screen.
            EXPECT_FALSE(e.drawing || e.takePixelWarning());
            EXPECT_TRUE(e.pasting || e.savedScreen.empty());
        }
    }
};
