#include "core/Editor.h"

#include <algorithm>

namespace {

u8 mirrorBits(u8 b) {
    u8 r = 0;
    for (int i = 0; i < 8; ++i)
        if (b & (1 << i)) r = u8(r | (0x80 >> i));
    return r;
}

u8 mirrorPairs(u8 b) {
    return u8(((b & 0x03) << 6) | ((b & 0x0C) << 2) | ((b & 0x30) >> 2) | ((b & 0xC0) >> 6));
}

// Clearing and inverting differ only in what they do to a byte: each selected
// cell's 8 bitmap bytes in a bitmap mode, its screen code in a text mode.
void rewriteSelection(Editor& e, const char* undoName, u8 (*bitmapByte)(u8), u8 (*screenByte)(u8)) {
    // Taken before the selection is read: placing a floating paste makes it the selection.
    Machine& m = e.write();
    if (!e.hasSelection) return;
    int x0, y0, x1, y1;
    e.selRect(x0, y0, x1, y1);
    e.undo.TakeScreenUndo(undoName);
    const u16 bitmap = m.bitmapAddr(), screen = m.screenAddr();
    const bool bm = m.bitmapMode();
    for (int r = y0; r <= y1; ++r)
        for (int c = x0; c <= x1; ++c) {
            if (bm) {
                for (int k = 0; k < 8; ++k) {
                    u8& b = m.ram[u16(bitmap + r * 320 + c * 8 + k)];
                    b = bitmapByte(b);
                }
            } else {
                u8& b = m.ram[u16(screen + r * 40 + c)];
                b = screenByte(b);
            }
        }
}

// Mirrors the selection left-right (cells and the pixels in their bytes) or
// top-bottom (cells and the order of their 8 rows).
void flipSelection(Editor& e, bool horizontal) {
    Machine& m = e.write();
    if (!e.hasSelection) return;
    int x0, y0, x1, y1;
    e.selRect(x0, y0, x1, y1);
    e.undo.TakeScreenUndo("flip block");
    const Editor::Block b = e._Grab(x0, y0, x1, y1);
    Editor::Block f = b;
    const bool multi = m.vic[VicReg::Control2] & VicReg::Control2Mcm;
    for (int r = 0; r < b.h; ++r)
        for (int c = 0; c < b.w; ++c) {
            const size_t from = size_t(r) * b.w + c;
            const size_t to = horizontal ? size_t(r) * b.w + (b.w - 1 - c) : size_t(b.h - 1 - r) * b.w + c;
            f.screen[to] = b.screen[from];
            f.colour[to] = b.colour[from];
            if (!b.bitmap) continue;
            for (int k = 0; k < 8; ++k) {
                const u8 v = b.bitmapBytes[from * 8 + k];
                if (horizontal)
                    f.bitmapBytes[to * 8 + k] = multi ? mirrorPairs(v) : mirrorBits(v);
                else
                    f.bitmapBytes[to * 8 + (7 - k)] = v;
            }
        }
    e._Stamp(f, x0, y0);
}

}  // namespace

void Editor::selectAll() {
    selX0 = 0;
    selY0 = 0;
    selX1 = 39;
    selY1 = 24;
    hasSelection = true;
}

void Editor::selRect(int& x0, int& y0, int& x1, int& y1) const {
    // Corners set from outside are held to the screen.
    int ax = std::clamp(selX0, 0, 39), bx = std::clamp(selX1, 0, 39);
    int ay = std::clamp(selY0, 0, 24), by = std::clamp(selY1, 0, 24);
    x0 = std::min(ax, bx);
    x1 = std::max(ax, bx);
    y0 = std::min(ay, by);
    y1 = std::max(ay, by);
}

Editor::Block Editor::_Grab(int x0, int y0, int x1, int y1) const {
    const Machine& m = machine;
    Block b;
    b.w = x1 - x0 + 1;
    b.h = y1 - y0 + 1;
    b.bitmap = m.bitmapMode();
    if (b.w <= 0 || b.h <= 0) return Block{};
    const u16 bitmap = m.bitmapAddr(), screen = m.screenAddr();
    for (int r = y0; r <= y1; ++r) {
        for (int c = x0; c <= x1; ++c) {
            bool inside = c >= 0 && c < 40 && r >= 0 && r < 25;
            int cell = inside ? r * 40 + c : 0;
            if (b.bitmap)
                for (int i = 0; i < 8; ++i)
                    b.bitmapBytes.push_back(inside ? m.ram[u16(bitmap + r * 320 + c * 8 + i)] : 0);
            b.screen.push_back(inside ? m.ram[u16(screen + cell)] : 0x20);
            b.colour.push_back(inside ? m.ram[Machine::colorRamAddr + cell] : 0);
        }
    }
    return b;
}

void Editor::_Stamp(const Block& block, int x, int y) {
    Machine& m = machine;
    const bool withBitmap = block.bitmap && m.bitmapMode() &&
                            block.bitmapBytes.size() >= size_t(block.w) * block.h * 8;
    const u16 bitmap = m.bitmapAddr(), screen = m.screenAddr();
    for (int r = 0; r < block.h; ++r) {
        for (int c = 0; c < block.w; ++c) {
            int tx = x + c, ty = y + r;
            if (tx < 0 || tx >= 40 || ty < 0 || ty >= 25) continue;
            size_t i = size_t(r) * block.w + c;
            if (i >= block.screen.size() || i >= block.colour.size()) return;
            int cell = ty * 40 + tx;
            if (withBitmap)
                for (int k = 0; k < 8; ++k) m.ram[u16(bitmap + ty * 320 + tx * 8 + k)] = block.bitmapBytes[i * 8 + k];
            m.ram[u16(screen + cell)] = block.screen[i];
            m.ram[Machine::colorRamAddr + cell] = block.colour[i];
        }
    }
}

bool Editor::copyBlock() {
    if (!hasSelection) return false;
    int x0, y0, x1, y1;
    selRect(x0, y0, x1, y1);
    clip = _Grab(x0, y0, x1, y1);
    return true;
}

bool Editor::cutBlock() {
    // Taken first so the copy and the clear see the same selection.
    write();
    if (!copyBlock()) return false;
    clearBlock();
    return true;
}

void Editor::clearBlock() {
    rewriteSelection(*this, "clear block", [](u8) -> u8 { return 0x00; }, [](u8) -> u8 { return 0x20; });
}

bool Editor::startPaste() {
    if (clip.w <= 0 || clip.h <= 0) return false;
    undo.TakeScreenUndo("paste block");
    _SaveLineStart();
    pasting = true;
    if (hasSelection) {
        int x0, y0, x1, y1;
        selRect(x0, y0, x1, y1);
        pasteX = x0;
        pasteY = y0;
    } else {
        pasteX = pasteY = 0;
    }
    _Stamp(clip, pasteX, pasteY);
    return true;
}

void Editor::_PastePreview(int x, int y) {
    if (!pasting) return;
    if (!_BackupFitsLayout()) {
        // The screen moved under the paste: place it as shown rather than restore stale bytes.
        commitPaste();
        return;
    }
    pasteX = x;
    pasteY = y;
    _RestoreLineStart();
    _Stamp(clip, x, y);
}

void Editor::commitPaste() {
    if (!pasting) return;
    pasting = false;
    selX0 = std::max(pasteX, 0);
    selY0 = std::max(pasteY, 0);
    selX1 = std::min(pasteX + clip.w, 40) - 1;
    selY1 = std::min(pasteY + clip.h, 25) - 1;
    hasSelection = true;
    _ClearBackup();
}

void Editor::cancelPaste() {
    if (!pasting) return;
    if (_BackupFitsLayout()) _RestoreLineStart();
    pasting = false;
    _ClearBackup();
}

void Editor::flipBlockX() { flipSelection(*this, true); }

void Editor::flipBlockY() { flipSelection(*this, false); }

void Editor::invertBlock() {
    rewriteSelection(*this, "invert block", [](u8 b) -> u8 { return u8(b ^ 0xFF); },
                     [](u8 b) -> u8 { return u8(b ^ 0x80); });
}
