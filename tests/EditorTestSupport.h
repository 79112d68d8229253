#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
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

// The rows the word cs stores.
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
        mode(0);
    }

    // Mode n with screen $0400 of spaces in text, of screenFill in a bitmap; bitmap $2000 cleared,
    // colour RAM 0, background 0.
    void mode(int n, u8 screenFill = 0x10) {
        m->setGfxMode(n);
        std::memset(m->ram + 0x2000, 0, 8192);
        std::memset(m->ram + 0x0400, n >= 3 ? screenFill : 0x20, 1000);
        std::memset(m->ram + 0xD800, 0, 1000);
        m->vic[0x21] = 0;
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
    // Runs what a user does, as words: @col,row (text cursor) t<hex code> (type) Up Down Left Right
    // Ret Home Ins Del Bs k<key number>, each key with ^ before it for shift; p<pen> tool<n> b<brush>
    // m<gfx mode> bank<n> v<register>=<value> w<address>=<value> (hex: a VIC register, a write from outside);
    // col<slot>,<colour> and cyc<slot>,<step> (of cell (0, 0)) cls<clear mode>,<hex value>; blocks sel<x0>,<y0>,<x1>,<y1>
    // (cells) nosel all copy cut clr fx fy inv paste commit cancel; cc pc (character clipboard);
    // undo redo settle; mouse md<x>,<y>,<button> mv<x>,<y> mu<x>,<y>,<button>; nonew (refuse new multicolour
    // slots) warned (the pixel warning is up; a row ending with one not taken fails); fill shift (for shapes);
    // the character window's tc<hex> (type from the set) cs<hex address> (store `counting` there) and its
    // bank menu: vb<VIC bank> cb<0/1 second half> slot<charset slot> mc<0/1 multicolour>; the toolbar's gm<gfx
    // mode>; the colour editor's cols<slot 0>,<1>,<2>,<3> (-1 leaves a slot; cell (0, 0)); a plain letter key
    // key<letter>; the character editor's stroke ks<hex address>,<0/1 erasing> then kp<hex address>,<x>,<y>
    // in the pen and $D016's mode; the charset menu's set<hex address> (fill the set from there) setz (clear it);
    // Ctrl+Shift's half; reg<hex register>=<hex value> (the tools bar's background pick on $D021).
    CharEdit::Stroke stroke;
    void letter(char l) {
        auto k = std::find_if(ScreenKeys::letters.begin(), ScreenKeys::letters.end(),
                              [l](const ScreenKeys::Key& key) { return key.letter == l; });
        ASSERT_NE(k, ScreenKeys::letters.end()) << l;
        ScreenKeys::apply(e, *k);
    }
    void run(const std::string& script) {
        auto key = [this](EditKey k) { return [this, k](bool shift) { e.editKey(k, shift); }; };
        auto call = [this](auto method) { return [this, method](bool) { (e.*method)(); }; };
        auto op = [](std::function<void()> f) { return [f](bool) { f(); }; };
        const std::map<std::string, std::function<void(bool shift)>> words = {
            {"Up", key(EditKey::Up)},     {"Down", key(EditKey::Down)},  {"Left", key(EditKey::Left)},
            {"Right", key(EditKey::Right)}, {"Ret", key(EditKey::Return)}, {"Home", key(EditKey::Home)},
            {"Ins", key(EditKey::Insert)}, {"Del", key(EditKey::Delete)}, {"Bs", key(EditKey::Backspace)},
            {"all", call(&Editor::selectAll)}, {"copy", call(&Editor::copyBlock)}, {"cut", call(&Editor::cutBlock)},
            {"clr", call(&Editor::clearBlock)}, {"fx", call(&Editor::flipBlockX)}, {"fy", call(&Editor::flipBlockY)},
            {"inv", call(&Editor::invertBlock)}, {"paste", call(&Editor::startPaste)}, {"cc", call(&Editor::copyChar)},
            {"commit", call(&Editor::commitPaste)}, {"cancel", call(&Editor::cancelPaste)}, {"pc", call(&Editor::pasteChar)},
            {"undo", call(&Editor::undoLast)}, {"redo", call(&Editor::redoLast)}, {"settle", call(&Editor::commitPendingEdits)},
            {"nosel", op([&] { e.hasSelection = false; })}, {"nonew", op([&] { e.pixels.noNewColours = true; })},
            {"fill", op([&] { e.filled = true; })},         {"shift", op([&] { e.shift = true; })},
            {"warned", op([&] { EXPECT_TRUE(e.takePixelWarning()); })},
            {"setz", op([&] { CharEdit::fillSet(e, nullptr, "clear charset"); })},
            {"half", op([&] { BankSelect::flipCharsetHalf(e); })},
            {"capture", op([&] { u.capture(UndoBuffer::KindAll, "capture"); })}};
        std::istringstream in(script);
        for (std::string w; in >> w;) {
            const bool shift = w[0] == '^';
            const std::string k = shift ? w.substr(1) : w;
            const char* c = k.c_str();
            int a = 0, b = 0, x = 0, y = 0;
            unsigned h = 0, v = 0;
            if (auto it = words.find(k); it != words.end()) it->second(shift);
            else if (std::sscanf(c, "@%d,%d", &a, &b) == 2) e.cursorCol = a, e.cursorRow = b;
            else if (std::sscanf(c, "sel%d,%d,%d,%d", &e.selX0, &e.selY0, &e.selX1, &e.selY1) == 4) e.hasSelection = true;
            else if (std::sscanf(c, "md%d,%d,%d", &x, &y, &b) == 3) e.mouseDown(x, y, b);
            else if (std::sscanf(c, "mu%d,%d,%d", &x, &y, &b) == 3) e.mouseUp(x, y, b);
            else if (std::sscanf(c, "mv%d,%d", &x, &y) == 2) e.mouseMove(x, y);
            else if (std::sscanf(c, "v%x=%x", &h, &v) == 2) m->vic[h] = u8(v);
            else if (std::sscanf(c, "w%x=%x", &h, &v) == 2) m->ram[h & 0xFFFF] = u8(v);
            else if (int s[4]; std::sscanf(c, "cols%d,%d,%d,%d", &s[0], &s[1], &s[2], &s[3]) == 4) e.setCellColors(0, 0, s);
            else if (std::sscanf(c, "col%d,%d", &a, &b) == 2) e.setCellColor(a, 0, 0, b);
            else if (std::sscanf(c, "cyc%d,%d", &a, &b) == 2) e.cycleCellColor(a, 0, 0, b);
            else if (std::sscanf(c, "cls%d,%x", &a, &h) == 2) e.clearScreen(ClearMode(a), int(h));
            else if (std::sscanf(c, "tool%d", &a) == 1) e.tool = a;
            else if (std::sscanf(c, "bank%d", &a) == 1) m->bank = u16(a);
            else if (std::sscanf(c, "b%d", &a) == 1) e.brush = a;
            else if (std::sscanf(c, "tc%x", &h) == 1) CharEdit::typeFromCharset(e, u8(h));
            else if (std::sscanf(c, "t%x", &h) == 1) e.typeChar(u8(h));
            else if (std::sscanf(c, "cs%x", &h) == 1) CharEdit::store(e, u16(h), counting, "paste char");
            else if (std::sscanf(c, "vb%d", &a) == 1) BankSelect::vicBank(e, a);
            else if (std::sscanf(c, "cb%d", &a) == 1) BankSelect::charBank(e, a);
            else if (std::sscanf(c, "slot%d", &a) == 1) BankSelect::charsetSlot(e, a);
            else if (std::sscanf(c, "mc%d", &a) == 1) BankSelect::multicolor(e, a);
            else if (std::sscanf(c, "ks%x,%d", &h, &a) == 2) CharEdit::beginStroke(stroke, u, u16(h), a);
            else if (std::sscanf(c, "kp%x,%d,%d", &h, &x, &y) == 3)
                CharEdit::strokeTo(stroke, *m, u, u16(h), m->vic[0x16] & 0x10, m->pen, x, y);
            else if (k.size() == 4 && k.compare(0, 3, "key") == 0) letter(k[3]);
            else if (std::sscanf(c, "gm%d", &a) == 1) BankSelect::gfxMode(e, a);
            else if (std::sscanf(c, "set%x", &h) == 1) CharEdit::fillSet(e, m->ram + (h & 0xF800), "ROM charset");
            else if (std::sscanf(c, "reg%x=%x", &h, &v) == 2) BankSelect::setRegister(e, int(h), int(v), "background color");
            else if (std::sscanf(c, "k%d", &a) == 1) e.editKey(EditKey(a), shift);
            else if (std::sscanf(c, "p%d", &a) == 1) m->pen = a;
            else if (std::sscanf(c, "m%d", &a) == 1) m->setGfxMode(a);
            else ADD_FAILURE() << "unknown word " << w;
        }
    }
    // Each from a fresh undo history, the text tool, no selection and the default registers of the
    // mode; the clipboards carry over.
    void play(const std::vector<Scenario>& rows) {
        for (const Scenario& r : rows) {
            SCOPED_TRACE(r.name);
            mode(r.mode);
            m->bank = 0;
            m->vic[0x18] = r.mode >= 3 ? 0x18 : 0x14;
            u.Clear();
            e.tool = e.brush = 1;
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
