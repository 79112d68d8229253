#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

#include "core/Editor.h"
#include "core/Machine.h"
#include "core/UndoBuffer.h"

// A reset machine with its undo buffer and editor, and helpers to set up the screen.
struct EditorFixture : ::testing::Test {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    UndoBuffer u{*m};
    Editor e{*m, u};
    PixelOperator probe{*m};

    void SetUp() override {
        m->reset();
        for (int i = 0; i < 4096; ++i) m->charRom[i] = u8(i * 7 + 3 + (i >> 8));  // the two halves differ
        textMode();
    }

    // Text mode 0, screen $0400 of spaces, colour RAM 0, background 0.
    void textMode() {
        m->setGfxMode(0);
        std::memset(m->ram + 0x0400, 0x20, 1000);
        std::memset(m->ram + 0xD800, 0, 1000);
        m->vic[0x21] = 0;
    }
    // Bitmap mode at $2000 cleared, screen $0400 = screenFill, colour RAM 0, background 0.
    void bitmapMode(bool multi, u8 screenFill = 0x10) {
        m->setGfxMode(multi ? 4 : 3);
        std::memset(m->ram + 0x2000, 0, 8192);
        std::memset(m->ram + 0x0400, screenFill, 1000);
        std::memset(m->ram + 0xD800, 0, 1000);
        m->vic[0x21] = 0;
    }
    Bytes ram() const { return Bytes(m->ram, m->ram + 65536); }
    u8 px(int x, int y) const { return probe.GetPixel(x, y); }
    bool hiresBit(int x, int y) const {
        return m->ram[0x2000 + (y >> 3) * 320 + (x & ~7) + (y & 7)] & (0x80 >> (x & 7));
    }
    std::array<int, 4> selection() {
        std::array<int, 4> r;
        e.selRect(r[0], r[1], r[2], r[3]);
        return r;
    }
    void select(int x0, int y0, int x1, int y1) {
        e.selX0 = x0, e.selY0 = y0, e.selX1 = x1, e.selY1 = y1;
        e.hasSelection = true;
    }
    // Copies cell (0, 0) holding code and floats it as a paste.
    void floatCell0(u8 code = 0x51) {
        m->ram[m->screenAddr()] = code;
        select(0, 0, 0, 0);
        ASSERT_TRUE(e.copyBlock());
        ASSERT_TRUE(e.startPaste());
    }
    void drag(int x0, int y0, int x1, int y1, int button = 0) {
        e.mouseDown(x0, y0, button);
        e.mouseMove(x1, y1);
        e.mouseUp(x1, y1, button);
    }
};
