#include "core/Editor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Beyond this the midpoint arithmetic would leave 64 bits; no such shape reaches the screen
// from the mouse, whose radii stay below 400.
constexpr int maxRadius = 16384;
constexpr int maxFillPops = 1000000;

}  // namespace

Editor::Editor(Machine& m, UndoBuffer& u) : machine(m), undo(u), pixels(m) {
    undo.beforeChange = [this] { commitPendingEdits(); };
}

Editor::~Editor() { undo.beforeChange = nullptr; }

int Editor::gridWidth() const {
    if (!machine.bitmapMode()) return 80;
    return machine.gfxMode() == GfxMode::MulticolorBitmap ? 160 : 320;
}

int Editor::gridHeight() const { return machine.bitmapMode() ? 200 : 50; }

void Editor::toGrid(int& x, int& y) const {
    if (!machine.bitmapMode()) {
        x = x < 0 ? -1 : x >> 2;
        y = y < 0 ? -1 : y >> 2;
    } else {
        if (machine.gfxMode() == GfxMode::MulticolorBitmap) x = x < 0 ? -1 : x >> 1;
        if (x < 0) x = -1;
        if (y < 0) y = -1;
    }
}

bool Editor::takePixelWarning() {
    bool w = pixels.warning;
    pixels.warning = false;
    return w;
}

void Editor::_TakeUndo() {
    const char* name = "drawing";
    if (tool == ToolText) {
        name = "text";
        textUndoPending = false;
    } else if (tool == ToolFill) {
        name = "floodfill";
    }
    undo.TakeScreenUndo(name);
    if (tool == ToolText) textStep = undo.serial;
}

void Editor::_TextUndo() {
    // Any step taken since (a mode or bank change, another tool) leaves later typing uncovered.
    if (textUndoPending || tool != ToolText || undo.serial != textStep) _TakeUndo();
}

// ---- backup of the screen memories ----

void Editor::_SaveLineStart() {
    const Machine& m = machine;
    savedBitmapAddr = m.bitmapAddr();
    savedScreenAddr = m.screenAddr();
    if (m.bitmapMode())
        savedBitmap.assign(m.ram + savedBitmapAddr, m.ram + savedBitmapAddr + 8000);
    else
        savedBitmap.clear();
    savedScreen.assign(m.ram + savedScreenAddr, m.ram + savedScreenAddr + 1000);
    savedColour.assign(m.ram + Machine::colorRamAddr, m.ram + Machine::colorRamAddr + 1000);
}

void Editor::_RestoreLineStart() {
    if (savedScreen.empty()) return;
    Machine& m = machine;
    // Written back where it was taken, never where the registers point now.
    if (!savedBitmap.empty()) std::memcpy(m.ram + savedBitmapAddr, savedBitmap.data(), savedBitmap.size());
    std::memcpy(m.ram + savedScreenAddr, savedScreen.data(), savedScreen.size());
    std::memcpy(m.ram + Machine::colorRamAddr, savedColour.data(), savedColour.size());
}

void Editor::_ClearBackup() {
    savedBitmap.clear();
    savedScreen.clear();
    savedColour.clear();
}

bool Editor::_BackupFitsLayout() const {
    const Machine& m = machine;
    if (savedScreen.empty()) return false;
    if (m.screenAddr() != savedScreenAddr) return false;
    if (m.bitmapMode() != !savedBitmap.empty()) return false;
    return savedBitmap.empty() || m.bitmapAddr() == savedBitmapAddr;
}

void Editor::commitPendingEdits() {
    if (pasting) commitPaste();
    drawing = false;
    picking = false;
    lastX = lastY = -1;
    _ClearBackup();
}

Machine& Editor::write() {
    if (pasting || !savedScreen.empty()) commitPendingEdits();
    return machine;
}

void Editor::undoLast() {
    undo.MakeUndo();
    // Typing after an undo must start a step of its own.
    textUndoPending = true;
}

void Editor::redoLast() {
    undo.MakeRedo();
    textUndoPending = true;
}

// ---- mouse ----

void Editor::mouseDown(int x, int y, int button) {
    picking = (button == 2);
    if (pasting) {
        if (button == 0)
            commitPaste();
        else
            cancelPaste();
        return;
    }
    if (button == 2) {
        pickColor(x, y);
        return;
    }
    switch (tool) {
    case ToolText: {
        int col = std::clamp(x >> 3, 0, 39), row = std::clamp(y >> 3, 0, 24);
        if (col == cursorCol && row == cursorRow) return;
        cursorCol = col;
        cursorRow = row;
        textUndoPending = true;
        break;
    }
    case ToolDot:
    case ToolFreehand:
    case ToolLine:
    case ToolCircle:
    case ToolRect:
        _TakeUndo();
        erase = (button != 0);
        drawing = true;
        dragTool = tool;
        lastX = lastY = -1;
        startX = std::clamp(x, 0, 319);
        startY = std::clamp(y, 0, 199);
        if (tool >= ToolLine) _SaveLineStart();
        mouseMove(x, y);
        break;
    case ToolFill:
        if (button == 0) _FloodFill(x, y);
        break;
    case ToolSelect:
        if (button == 0) {
            selX0 = selX1 = std::clamp(x / 8, 0, 39);
            selY0 = selY1 = std::clamp(y / 8, 0, 24);
            hasSelection = true;
            drawing = true;
            dragTool = tool;
        } else if (button == 1) {
            hasSelection = false;
        }
        break;
    default:
        break;
    }
}

void Editor::mouseMove(int x, int y) {
    x = std::clamp(x, 0, 319);
    y = std::clamp(y, 0, 199);
    if (pasting) {
        _PastePreview(x >> 3, y >> 3);
        return;
    }
    if (tool == ToolDot || tool == ToolFreehand) {
        cursorCol = x >> 3;
        cursorRow = y >> 3;
    }
    if (!drawing || picking) return;
    if (tool != dragTool) {
        // A tool key pressed mid-drag ends the drag: the new tool never draws without its own step.
        commitPendingEdits();
        return;
    }
    if (tool == ToolSelect) {
        selX1 = x >> 3;
        selY1 = y >> 3;
        return;
    }
    if (tool >= ToolLine && tool <= ToolRect) {
        if (!_BackupFitsLayout()) {
            // The memory moved under the shape: keep what is shown, stop the drag.
            commitPendingEdits();
            return;
        }
        _RestoreLineStart();
        _DrawShape(startX, startY, x, y);
        return;
    }
    if (tool == ToolDot || tool == ToolFreehand) {
        int gx = x, gy = y;
        toGrid(gx, gy);
        if (tool == ToolFreehand && lastX != -1 && lastY != -1)
            _LineBrush(lastX, lastY, gx, gy);
        else
            _SetBrush(gx, gy);
        lastX = gx;
        lastY = gy;
    }
}

void Editor::mouseUp(int x, int y, int button) {
    bool wasDrawing = drawing && tool == dragTool;
    drawing = false;
    if (button != 2 && tool >= ToolLine && tool <= ToolRect && wasDrawing && _BackupFitsLayout()) {
        _RestoreLineStart();
        _DrawShape(startX, startY, std::clamp(x, 0, 319), std::clamp(y, 0, 199));
    }
    if (!pasting) _ClearBackup();
    picking = false;
}

void Editor::pickColor(int x, int y) {
    if (tool == ToolText) {
        if (x < 0 || x > 319 || y < 0 || y > 199) return;
        machine.pen = machine.ram[Machine::colorRamAddr + (y >> 3) * 40 + (x >> 3)] & 15;
        return;
    }
    toGrid(x, y);
    u8 c = pixels.GetPixel(x, y);
    if (c != 255) machine.pen = c;
}

// ---- brushes and shapes ----

void Editor::_SetBrush(int x, int y) {
    PixelOperator& p = pixels;
    switch (brush) {
    case 2:
        for (int yy = y - 1; yy <= y + 1; ++yy)
            for (int xx = x - 1; xx <= x + 1; ++xx) p.SetPixel(xx, yy, erase);
        break;
    case 3:
        p.SetPixel(x, y - 2, erase);
        for (int xx = x - 1; xx <= x + 1; ++xx) p.SetPixel(xx, y - 1, erase);
        for (int xx = x - 2; xx <= x + 2; ++xx) p.SetPixel(xx, y, erase);
        for (int xx = x - 1; xx <= x + 1; ++xx) p.SetPixel(xx, y + 1, erase);
        p.SetPixel(x, y + 2, erase);
        break;
    case 4: {
        int ex = x + (x & 1), ey = y + (y & 1);
        static const int offsets[12][2] = {{-1, -2}, {1, -2}, {-2, -1}, {0, -1}, {2, -1}, {-1, 0},
                                           {1, 0},   {-2, 1}, {0, 1},   {2, 1},  {-1, 2}, {1, 2}};
        for (const auto& o : offsets) p.SetPixel(ex + o[0], ey + o[1], erase);
        break;
    }
    default:
        p.SetPixel(x, y, erase);
        break;
    }
}

void Editor::_LineBrush(int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1) {
        _SetBrush(x0, y0);
        return;
    }
    long long dx = (long long)x1 - x0, dy = (long long)y1 - y0;
    long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    if (adx <= ady) {
        long long sy = dy < 0 ? -1 : 1;
        for (long long k = 0; k <= ady; ++k) _SetBrush(int(x0 + (k * dx) / ady), int(y0 + k * sy));
    } else {
        long long sx = dx < 0 ? -1 : 1;
        for (long long k = 0; k <= adx; ++k) _SetBrush(int(x0 + k * sx), int(y0 + (k * dy) / adx));
    }
}

void Editor::_Rect(int x0, int y0, int x1, int y1, bool fill) {
    int left = std::min(x0, x1), right = std::max(x0, x1);
    int top = std::min(y0, y1), bottom = std::max(y0, y1);
    if (fill) {
        // Points off the grid are no-ops: skip them without walking over them.
        int l = std::max(left, 0), r = std::min(right, gridWidth() - 1);
        int t = std::max(top, 0), b = std::min(bottom, gridHeight() - 1);
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= r; ++x) pixels.SetPixel(x, y, erase);
        return;
    }
    _LineBrush(left, top, right, top);
    _LineBrush(right, top, right, bottom);
    _LineBrush(right, bottom, left, bottom);
    _LineBrush(left, bottom, left, top);
}

void Editor::_HSpan(int x0, int x1, int y) {
    if (y < 0 || y >= gridHeight()) return;
    int l = std::max(std::min(x0, x1), 0), r = std::min(std::max(x0, x1), gridWidth() - 1);
    for (int x = l; x <= r; ++x) pixels.SetPixel(x, y, erase);
}

void Editor::_Ellipse(int cx, int cy, int rx, int ry, bool fill) {
    rx = std::min(std::abs(rx), maxRadius);
    ry = std::min(std::abs(ry), maxRadius);
    if (rx == 0 && ry == 0) {
        _SetBrush(cx, cy);
        return;
    }
    if (rx == 0 || ry == 0) {
        _LineBrush(cx - rx, cy - ry, cx + rx, cy + ry);
        return;
    }
    auto plot = [&](long long x, long long y) {
        int px = int(x), py = int(y);
        if (fill) {
            _HSpan(cx - px, cx + px, cy + py);
            _HSpan(cx - px, cx + px, cy - py);
        } else {
            _SetBrush(cx + px, cy + py);
            _SetBrush(cx - px, cy + py);
            _SetBrush(cx + px, cy - py);
            _SetBrush(cx - px, cy - py);
        }
    };
    const long long a = rx, b = ry, a2 = a * a, b2 = b * b;
    long long x = 0, y = b, px = 0, py = 2 * a2 * b;
    long long p = b2 - a2 * b + (a2 >> 2);
    do {
        plot(x, y);
        if (p >= 0) {
            p += px + 3 * b2 + 2 * a2 - py;
            y -= 1;
            py -= 2 * a2;
        } else {
            p += px + 3 * b2;
        }
        x += 1;
        px += 2 * b2;
    } while (px < py);
    p = (((2 * x + 1) * (2 * x + 1) * b2) >> 2) + ((y - 1) * (y - 1) - b2) * a2;
    for (;;) {
        plot(x, y);
        py -= 2 * a2;
        if (p <= 0) {
            px += 2 * b2;
            p += px + a2 - py;
            x += 1;
        } else {
            p += a2 - py;
        }
        if (y <= 0) break;
        y -= 1;
    }
}

void Editor::_DrawShape(int x0, int y0, int x1, int y1) {
    if (tool == ToolRect && shift) {
        int s = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        x1 = x0 + (x1 - x0 >= 0 ? s : -s);
        y1 = y0 + (y1 - y0 >= 0 ? s : -s);
    }
    const int dx = x1 - x0, dy = y1 - y0;
    // Arithmetic shifts: a square corner left of the screen stays left of it.
    int gx0 = x0, gy0 = y0, gx1 = x1, gy1 = y1;
    if (!machine.bitmapMode()) {
        gx0 >>= 2;
        gy0 >>= 2;
        gx1 >>= 2;
        gy1 >>= 2;
    } else if (machine.gfxMode() == GfxMode::MulticolorBitmap) {
        gx0 >>= 1;
        gx1 >>= 1;
    }
    if (tool == ToolRect) {
        _Rect(gx0, gy0, gx1, gy1, filled);
    } else if (tool == ToolCircle) {
        int rx = std::abs(dx), ry = std::abs(dy);
        if (!shift) {
            int r = int(std::sqrt(double(dx) * dx + double(dy) * dy) + 0.5);
            rx = ry = r;
        }
        if (!machine.bitmapMode()) {
            rx /= 4;
            ry /= 4;
        } else if (machine.gfxMode() == GfxMode::MulticolorBitmap) {
            rx /= 2;
        }
        _Ellipse(gx0, gy0, rx, ry, filled);
    } else if (tool == ToolLine) {
        _LineBrush(gx0, gy0, gx1, gy1);
    }
}

// ---- flood fill ----

namespace {

// The fill of one graphics mode: get reads a pixel, set draws one. Points are packed
// as x | y << 16; only points inside the grid are ever pushed. Neighbours are pushed
// from the popped pixel alone: a pen that takes over a multicolour slot recolours
// other pixels of the cell, but the fill does not spread from them.
template <class Get, class Set>
void floodFill(int x, int y, u8 seed, int maxPops, Get get, Set set) {
    std::vector<u32> stack;
    stack.reserve(4096);
    stack.push_back(u32(x | y << 16));
    for (int pops = 0; !stack.empty() && pops < maxPops; ++pops) {
        const int px = int(stack.back() & 0xFFFF), py = int(stack.back() >> 16);
        stack.pop_back();
        if (get(px, py) != seed) continue;
        set(px, py);
        // A refused multicolour pixel keeps the seed colour and spreads no further.
        if (get(px, py) == seed) continue;
        if (get(px, py - 1) == seed) stack.push_back(u32(px | (py - 1) << 16));
        if (get(px - 1, py) == seed) stack.push_back(u32((px - 1) | py << 16));
        if (get(px + 1, py) == seed) stack.push_back(u32((px + 1) | py << 16));
        if (get(px, py + 1) == seed) stack.push_back(u32(px | (py + 1) << 16));
    }
}

// The colour of every mode pixel with a border of 255 around them, kept in step with memory while a
// fill runs, so that testing a pixel is one load. Valid only while the bitmap, the screen and colour
// RAM lie apart: then a pixel's bitmap bits change that pixel alone and a cell's colours that cell.
template <int Mode>  // hires, multicolour bitmap, else the text grid
struct ColourGrid {
    static constexpr bool hires = Mode == GfxMode::Bitmap, multicolor = Mode == GfxMode::MulticolorBitmap;
    static constexpr int W = hires ? 320 : multicolor ? 160 : 80, H = hires || multicolor ? 200 : 50;
    static constexpr int CellW = W / 40, CellH = H / 25, Stride = W + 2;
    const PixelReader& r;
    std::vector<u8> c;

    explicit ColourGrid(const PixelReader& reader) : r(reader), c(size_t(Stride) * (H + 2), 255) {
        for (int cy = 0; cy < 25; ++cy)
            for (int cx = 0; cx < 40; ++cx) decodeCell(cx, cy);
    }
    u8 at(int x, int y) const { return c[size_t((y + 1) * Stride + x + 1)]; }
    u8 read(int x, int y) const { return hires ? r.hires(x, y) : multicolor ? r.multicolor(x, y) : r.text(x, y); }
    void decodeCell(int cx, int cy) {
        const int cell = cx + cy * 40;
        const u8 s = r.ram[u16(r.screen + cell)];
        const u8 colours[4] = {r.background, u8(s >> 4), u8(s & 15), u8(r.ram[u16(Machine::colorRamAddr + cell)] & 15)};
        for (int row = 0; row < CellH; ++row) {
            u8* out = &c[size_t((cy * CellH + row + 1) * Stride + cx * CellW + 1)];
            const u8 b = r.ram[u16(r.bitmap + cy * 320 + cx * 8 + row)];
            for (int col = 0; col < CellW; ++col)
                out[col] = hires        ? ((b << col) & 0x80 ? colours[1] : colours[2])
                           : multicolor ? colours[(b >> (6 - 2 * col)) & 3]
                                        : r.text(cx * CellW + col, cy * CellH + row);
        }
    }
    // After a pixel was set: its cell again when the cell's colours moved, else the pixel.
    void refresh(int x, int y, bool cellColoursChanged) {
        if (cellColoursChanged)
            decodeCell(x / CellW, y / CellH);
        else
            c[size_t((y + 1) * Stride + x + 1)] = read(x, y);
    }
};

bool apart(int a, int aLength, int b, int bLength) { return a + aLength <= b || b + bLength <= a; }

}  // namespace

void Editor::_FloodFill(int x, int y) {
    toGrid(x, y);
    const u8 seed = pixels.GetPixel(x, y);
    if (seed == 255 || seed == (machine.pen & 15)) return;
    _TakeUndo();
    drawing = false;
    PixelOperator& p = pixels;
    Machine& m = machine;
    const PixelReader r(m);
    const int mode = m.gfxMode();
    const bool bitmapApart = apart(r.bitmap, 8000, r.screen, 1000) && apart(r.bitmap, 8000, Machine::colorRamAddr, 1000);
    const bool screenApart = apart(r.screen, 1000, Machine::colorRamAddr, 1000);
    auto colours = [&](int cell) { return m.ram[u16(r.screen + cell)] | m.ram[u16(Machine::colorRamAddr + cell)] << 8; };
    if (mode == GfxMode::Bitmap && bitmapApart) {
        // A hires pixel set takes the pen, and its cell the pen over the background.
        ColourGrid<GfxMode::Bitmap> g(r);
        u8* const cells = g.c.data();
        u8* const ram = m.ram;
        const u16 bitmap = r.bitmap, screen = r.screen;
        const u8 ink = u8((m.pen << 4) | r.background);
        constexpr int stride = ColourGrid<GfxMode::Bitmap>::Stride;
        floodFill(x, y, seed, maxFillPops,
                  [cells](int gx, int gy) __attribute__((always_inline)) { return cells[(gy + 1) * stride + gx + 1]; },
                  [&g, cells, ram, bitmap, screen, ink](int gx, int gy) __attribute__((always_inline)) {
                      ram[u16(bitmap + (gy >> 3) * 320 + (gx & 0x1F8) + (gy & 7))] |= u8(0x80 >> (gx & 7));
                      u8& s = ram[u16(screen + (gx >> 3) + (gy >> 3) * 40)];
                      if (s == ink) {
                          cells[(gy + 1) * stride + gx + 1] = u8(ink >> 4);
                      } else {
                          s = ink;
                          g.decodeCell(gx >> 3, gy >> 3);
                      }
                  });
    } else if (mode == GfxMode::MulticolorBitmap && bitmapApart && screenApart) {
        ColourGrid<GfxMode::MulticolorBitmap> g(r);
        floodFill(x, y, seed, maxFillPops, [&](int gx, int gy) __attribute__((always_inline)) { return g.at(gx, gy); },
                  [&](int gx, int gy) __attribute__((always_inline)) {
                      const int cell = (gx >> 2) + (gy >> 3) * 40;
                      const int was = colours(cell);
                      p.SetPixelMulticolor(gx, gy, false);
                      g.refresh(gx, gy, colours(cell) != was);
                  });
    } else if (mode < GfxMode::Bitmap && screenApart) {
        ColourGrid<GfxMode::Text> g(r);
        floodFill(x, y, seed, maxFillPops, [&](int gx, int gy) __attribute__((always_inline)) { return g.at(gx, gy); },
                  [&](int gx, int gy) __attribute__((always_inline)) {
                      p.SetPixelTextMode(gx, gy, false);
                      g.refresh(gx, gy, true);
                  });
    } else {
        // Overlapping memories: every test reads memory.
        floodFill(x, y, seed, maxFillPops, [&](int gx, int gy) { return p.GetPixel(gx, gy); },
                  [&](int gx, int gy) { p.SetPixel(gx, gy, false); });
    }
}
