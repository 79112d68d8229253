#include <algorithm>
#include <cmath>
#include <iterator>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "tests/EditorTestSupport.h"

namespace {

using EditorDrawTest = EditorFixture;
using Points = std::set<std::pair<int, int>>;

Points litHires(const EditorFixture& f) {
    Points p;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            if (f.hiresBit(x, y)) p.insert({x, y});
    return p;
}

// 1: lit, 0: clear, -1: either.
using Want = int (*)(int x, int y);

int near(double d, double r, double slack) { return std::abs(d - r) > slack ? 0 : -1; }

TEST_F(EditorDrawTest, Shapes) {
    const struct {
        int mode, tool, brush;
        bool filled, shift, full;  // full: the bitmap starts with every bit set
        int button, x0, y0, x1, y1;
        Want want;
    } rows[] = {
        // The dot tool leaves gaps, freehand joins.
        {3, 2, 1, false, false, false, 0, 10, 10, 20, 10, [](int x, int y) { return int(y == 10 && (x == 10 || x == 20)); }},
        {3, 3, 1, false, false, false, 0, 10, 10, 20, 10, [](int x, int y) { return int(y == 10 && x >= 10 && x <= 20); }},
        // Brushes: a 3x3 square, a 13-point diamond, a 12-point checker on even coordinates.
        {3, 2, 2, false, false, false, 0, 10, 10, 10, 10, [](int x, int y) { return int(std::abs(x - 10) <= 1 && std::abs(y - 10) <= 1); }},
        {3, 2, 3, false, false, false, 0, 10, 10, 10, 10, [](int x, int y) { return int(std::abs(x - 10) + std::abs(y - 10) <= 2); }},
        {3, 2, 4, false, false, false, 0, 3, 3, 3, 3, [](int x, int y) { return int(std::abs(x - 4) <= 2 && std::abs(y - 4) <= 2 && ((x + y) & 1)); }},
        {3, 2, 4, false, false, false, 0, 4, 4, 4, 4, [](int x, int y) { return int(std::abs(x - 4) <= 2 && std::abs(y - 4) <= 2 && ((x + y) & 1)); }},
        // Lines step along the long axis, the other coordinate truncated toward zero.
        {3, 4, 1, false, false, false, 0, 0, 0, 2, 5, [](int x, int y) { return int(y <= 5 && x == (y * 2) / 5); }},
        {3, 4, 1, false, false, false, 0, 10, 10, 4, 8, [](int x, int y) { return int(x >= 4 && x <= 10 && y == 10 + ((10 - x) * -2) / 6); }},
        // The right button erases with the brush.
        {3, 4, 2, false, false, true, 1, 50, 50, 60, 50, [](int x, int y) { return int(!(x >= 49 && x <= 61 && y >= 49 && y <= 51)); }},
        // Circles: the drag length rounded to the radius (5; 2.83 to 3), halved across in multicolour,
        // a quarter on the text grid.
        {3, 5, 1, false, false, false, 0, 100, 100, 103, 104, [](int x, int y) {
             return (x == 100 && std::abs(y - 100) == 5) || (y == 100 && std::abs(x - 100) == 5) ? 1 : near(std::hypot(x - 100, y - 100), 5, 0.8);
         }},
        {3, 5, 1, false, false, false, 0, 100, 100, 102, 102, [](int x, int y) {
             return (x == 100 && std::abs(y - 100) == 3) || (y == 100 && std::abs(x - 100) == 3) ? 1 : near(std::hypot(x - 100, y - 100), 3, 0.8);
         }},
        {4, 5, 1, false, false, false, 0, 100, 100, 103, 104, [](int x, int y) {
             return (x == 50 && std::abs(y - 100) == 5) || (y == 100 && std::abs(x - 50) == 2) ? 1 : (x == 53 || y == 106) ? 0 : -1;
         }},
        {0, 5, 1, false, false, false, 0, 100, 100, 103, 104, [](int x, int y) { return int(std::abs(x - 25) + std::abs(y - 25) == 1); }},
        // Shift: an ellipse through the drag point; a zero radius gives a line or a single point.
        {3, 5, 1, false, true, false, 0, 100, 100, 110, 100, [](int x, int y) { return int(y == 100 && x >= 90 && x <= 110); }},
        {3, 5, 1, false, true, false, 0, 100, 100, 100, 100, [](int x, int y) { return int(x == 100 && y == 100); }},
        {3, 5, 1, false, true, false, 0, 100, 100, 120, 105, [](int x, int y) {
             return (x == 100 && std::abs(y - 100) == 5) || (y == 100 && std::abs(x - 100) == 20) ? 1 : (x == 121 || y == 106) ? 0 : -1;
         }},
        {3, 5, 1, true, false, false, 0, 160, 100, 170, 100, [](int x, int y) {
             const double d = std::hypot(x - 160, y - 100);
             return d < 9 ? 1 : d > 11 ? 0 : -1;
         }},
        // Rectangles: filled ones use single pixels whatever the brush and reach the last column of every grid.
        {3, 6, 3, true, false, false, 0, 20, 30, 10, 25, [](int x, int y) { return int(x >= 10 && x <= 20 && y >= 25 && y <= 30); }},
        {3, 6, 1, false, false, false, 0, 20, 30, 10, 25, [](int x, int y) {
             return int(x >= 10 && x <= 20 && y >= 25 && y <= 30 && (x == 10 || x == 20 || y == 25 || y == 30));
         }},
        {3, 6, 1, true, false, false, 0, 300, 40, 330, 60, [](int x, int y) { return int(x >= 300 && y >= 40 && y <= 60); }},
        {4, 6, 1, true, false, false, 0, 300, 40, 330, 60, [](int x, int y) { return int(x >= 150 && y >= 40 && y <= 60); }},
        {0, 6, 1, true, false, false, 0, 300, 40, 330, 60, [](int x, int y) { return int(x >= 75 && y >= 10 && y <= 15); }},
        // A square dragged left of the screen keeps its corner at (-10, 30): no left side, no stray column 0.
        {3, 6, 2, false, true, false, 0, 10, 10, 4, 30, [](int x, int y) {
             if (x <= 1 && y >= 13 && y <= 27) return 0;
             if ((x == 10 && y >= 9 && y <= 31) || ((y == 10 || y == 30) && x <= 11)) return 1;
             return x == 12 && y == 20 ? 0 : -1;
         }},
        // On the text grid the corner becomes -3; brush 2 reaches rows 1-3 and 6-8 only.
        {0, 6, 2, false, true, false, 0, 10, 10, 4, 30, [](int x, int y) {
             return x == 0 && (y == 4 || y == 5) ? 0 : (x == 0 && y == 6) || (x == 2 && y == 2) ? 1 : -1;
         }},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& r = rows[i];
        if (r.mode) bitmapMode(r.mode == 4);
        else textMode();
        if (r.full) std::memset(m->ram + 0x2000, 0xFF, 8000);
        m->pen = 1;
        e.tool = r.tool;
        e.brush = r.brush;
        e.filled = r.filled;
        e.shift = r.shift;
        drag(r.x0, r.y0, r.x1, r.y1, r.button);
        const int w = r.mode == 0 ? 80 : r.mode == 4 ? 160 : 320, h = r.mode == 0 ? 50 : 200;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int want = r.want(x, y);
                const bool lit = r.full ? hiresBit(x, y) : px(x, y) != 0;
                if (want >= 0 && lit != (want == 1) && wrong++ < 3) {
                    ADD_FAILURE() << "row " << i << " at " << x << "," << y;
                }
            }
        EXPECT_EQ(wrong, 0) << "row " << i;
    }
}

TEST_F(EditorDrawTest, RubberBandKeepsOnlyFinalShape) {
    bitmapMode(false);
    m->pen = 1;
    e.tool = 4;
    e.mouseDown(0, 0, 0);
    e.mouseMove(100, 0);
    e.mouseMove(0, 100);
    e.mouseMove(30, 30);
    Points mid = litHires(*this);
    e.mouseUp(50, 50, 0);
    Points expect;
    for (int k = 0; k <= 50; ++k) expect.insert({k, k});
    EXPECT_EQ(litHires(*this), expect);
    EXPECT_EQ(mid.size(), 31u);
    EXPECT_TRUE(e.savedScreen.empty());
    EXPECT_EQ(u.undo.size(), 1u);
    u.MakeUndo();
    EXPECT_TRUE(litHires(*this).empty());
}

TEST_F(EditorDrawTest, ShapesFarOutsideWriteOnlyScreenMemory) {
    const int far[][4] = {{-10000, -10000, 10000, 10000}, {10000, -10000, -10000, 10000}, {0, 0, 319, 199},
                          {319, 199, -10000, 5},          {-5, 10000, 400, -400},           {160, 100, 10000, 10000},
                          {0, 199, 0, -10000},            {319, 0, 10000, 0}};
    for (int mode : {0, 3, 4}) {
        for (int tool : {2, 3, 4, 5, 6, 7}) {
            for (int variant = 0; variant < 4; ++variant) {
                if (mode == 0) {
                    textMode();
                } else {
                    bitmapMode(mode == 4);
                }
                e.tool = tool;
                e.brush = 1 + variant;
                e.filled = variant & 1;
                e.shift = variant & 2;
                m->pen = 1 + variant;
                Bytes before = ram();
                for (auto& f : far) {
                    e.mouseDown(f[0], f[1], variant == 3 ? 1 : 0);
                    e.mouseMove(f[2], f[3]);
                    e.mouseMove(-f[2], f[3]);
                    e.mouseUp(f[2], f[3], variant == 3 ? 1 : 0);
                }
                Bytes after = ram();
                for (int a = 0; a < 65536; ++a) {
                    bool screen = (a >= 0x0400 && a < 0x0400 + 1000) || (a >= 0xD800 && a < 0xD800 + 1000) ||
                                  (mode != 0 && a >= 0x2000 && a < 0x2000 + 8000);
                    if (!screen) {
                        ASSERT_EQ(after[a], before[a]) << "mode " << mode << " tool " << tool << " at " << a;
                    }
                }
                EXPECT_FALSE(e.drawing);
            }
        }
    }
}

TEST_F(EditorDrawTest, InternalShapesClipFarCoordinates) {
    bitmapMode(false);
    m->pen = 1;
    Bytes before = ram();
    e.brush = 4;
    e._Rect(-10000, -10000, 10000, 10000, true);
    e._Rect(-10000, -10000, 10000, 10000, false);
    e._Ellipse(0, 0, 100000, 100000, false);
    e._Ellipse(160, 100, 10000, 3, true);
    e._LineBrush(-10000, 10000, 10000, -10000);
    e._HSpan(-100000, 100000, 5);
    Bytes after = ram();
    for (int a = 0; a < 65536; ++a)
        if (!(a >= 0x0400 && a < 0x0400 + 1000) && !(a >= 0x2000 && a < 0x2000 + 8000)) {
            ASSERT_EQ(after[a], before[a]) << a;
        }
    EXPECT_TRUE(hiresBit(0, 0));  // the filled rectangle covered the screen
}

TEST_F(EditorDrawTest, FillThatChangesNothing) {
    bitmapMode(false);
    m->pen = 0;
    e.tool = 7;
    Bytes before = ram();
    e.mouseDown(5, 5, 0);
    EXPECT_EQ(ram(), before);
    EXPECT_TRUE(u.undo.empty());
    e.mouseDown(-1, 5, 0);
    e.mouseDown(320, 5, 0);
    m->pen = 1;
    e.mouseDown(5, 5, 1);  // button 1 does nothing with the fill tool
    EXPECT_EQ(ram(), before);
    EXPECT_TRUE(u.undo.empty());
    // A pen refused in a full multicolour cell stops the fill with one warning.
    bitmapMode(true, 0x57);
    std::memset(m->ram + 0xD800, 2, 1000);
    std::memset(m->ram + 0x2000, 0x55, 8000);  // every pixel colour 5
    e.pixels.noNewColours = true;
    m->pen = 9;
    e.mouseDown(10, 10, 0);
    EXPECT_TRUE(e.takePixelWarning());
    EXPECT_FALSE(e.takePixelWarning());
    for (int i = 0; i < 8000; ++i) ASSERT_EQ(m->ram[0x2000 + i], 0x55);
}

TEST_F(EditorDrawTest, FillTextScreenOfSpaces) {
    m->pen = 5;
    e.tool = 7;
    e.mouseDown(100, 100, 0);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(m->ram[0x0400 + i], 0xE0) << i;
        ASSERT_EQ(m->ram[0xD800 + i], 5) << i;
    }
    EXPECT_EQ(u.undoName(), "textmode floodfill");
    EXPECT_EQ(u.undo.size(), 1u);
}

// Reference: 4-connected region of equal colour around the seed, on a colour grid.
std::vector<bool> referenceRegion(const std::vector<int>& colours, int w, int h, int sx, int sy) {
    std::vector<bool> in(colours.size(), false);
    int seed = colours[sy * w + sx];
    std::vector<std::pair<int, int>> queue{{sx, sy}};
    in[sy * w + sx] = true;
    for (size_t i = 0; i < queue.size(); ++i) {
        auto [x, y] = queue[i];
        const int d[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        for (auto& o : d) {
            int nx = x + o[0], ny = y + o[1];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            if (in[ny * w + nx] || colours[ny * w + nx] != seed) continue;
            in[ny * w + nx] = true;
            queue.push_back({nx, ny});
        }
    }
    return in;
}

// Random pictures filled from a random seed pixel, against a 4-connected reference region: hires
// and text grid (about a quarter lit), multicolour with colour 2 in every cell's colour RAM and 5 and
// 7 swapping places from cell to cell; pen 2 sits in every cell, pen 3 takes over slots.
TEST_F(EditorDrawTest, FillMatchesReference) {
    std::mt19937 rng(11);
    const struct {
        int mode, pen, seedColour, rounds;
    } rows[] = {{3, 1, 0, 4}, {0, 7, 0, 4}, {4, 2, 5, 4}, {4, 3, 5, 8}};
    for (const auto& r : rows)
        for (int round = 0; round < r.rounds; ++round) {
            const int w = r.mode == 0 ? 80 : r.mode == 4 ? 160 : 320, h = r.mode == 0 ? 50 : 200;
            if (r.mode == 0) {
                textMode();
                for (int i = 0; i < 1000; ++i) {
                    const int k = int(rng() % 20);  // block characters, and letters that count as empty cells
                    m->ram[0x0400 + i] = k < 16 ? PixelOperator::textpixtab[k] : u8(1 + k);
                    m->ram[0xD800 + i] = 7;
                }
            } else {
                bitmapMode(r.mode == 4, 0x10);
                for (int i = 0; i < 8000; ++i) m->ram[0x2000 + i] = u8(r.mode == 4 ? rng() : rng() & rng());
                for (int i = 0; r.mode == 4 && i < 1000; ++i) {
                    m->ram[0x0400 + i] = (rng() & 1) ? 0x57 : 0x75;
                    m->ram[0xD800 + i] = 2;
                }
            }
            std::vector<int> colours(size_t(w) * h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) colours[y * w + x] = px(x, y);
            int sx, sy;
            do {
                sx = int(rng() % w);
                sy = int(rng() % h);
            } while (colours[sy * w + sx] != r.seedColour);
            const std::vector<bool> region = referenceRegion(colours, w, h, sx, sy);
            m->pen = r.pen;
            e.tool = 7;
            e.mouseDown(r.mode == 0 ? sx * 4 + 2 : r.mode == 4 ? sx * 2 + 1 : sx, r.mode == 0 ? sy * 4 + 3 : sy, 0);
            // Exact but for a pen that takes over slots, which may recolour pixels outside the region;
            // either way no seed-coloured pixel is left next to one the fill changed.
            const bool exact = r.pen != 3;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int now = px(x, y), was = colours[y * w + x], i = y * w + x;
                    ASSERT_TRUE(!(region[i] || exact) || now == (region[i] ? r.pen : was)) << r.mode << " " << x << "," << y;
                    if (was != r.seedColour || now == r.seedColour) continue;
                    for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                        ASSERT_NE(px(std::clamp(x + dx, 0, w - 1), std::clamp(y + dy, 0, h - 1)), r.seedColour) << x << "," << y;
                }
            for (int i = 0; r.mode == 3 && i < 1000; ++i) ASSERT_EQ(m->ram[0x0400 + i], 0x10);
        }
}

TEST_F(EditorDrawTest, MulticolourStampReusesTheSlotItTook) {
    // Row 0: 5 7 2 7, row 1: 2; slot 1 (colour 5) is strictly least used. Its one pixel changes
    // with it, and the rest of the 3x3 stamp reuses it.
    bitmapMode(true, 0x57);
    m->ram[0xD800] = 2;
    m->ram[0x2000] = 0x6E;
    m->ram[0x2001] = 0xC0;
    m->pen = 9;
    e.tool = 2;
    e.brush = 2;
    e.mouseDown(2, 1, 0);
    e.mouseUp(2, 1, 0);
    EXPECT_EQ(m->ram[0x0400], 0x97);
    EXPECT_EQ(m->ram[0xD800], 2);
    EXPECT_EQ(m->ram[0x2000], 0x56);  // 01 01 01 10
    EXPECT_EQ(m->ram[0x2001], 0x54);
    EXPECT_EQ(m->ram[0x2002], 0x54);
    EXPECT_EQ(px(1, 0), 9);
    EXPECT_EQ(px(3, 0), 7);
}

TEST_F(EditorDrawTest, PickColour) {
    bitmapMode(false, 0x3A);  // ink 3, paper 10
    m->ram[0xD800 + 41] = 0xF6;
    m->ram[0x2000 + 320 + 8] = 0x80;
    m->pen = 1;
    e.tool = 4;
    Bytes before = ram();
    e.mouseDown(8, 8, 2);
    EXPECT_EQ(m->pen, 3);
    e.mouseMove(20, 20);
    e.mouseUp(20, 20, 2);
    EXPECT_EQ(ram(), before);
    EXPECT_TRUE(u.undo.empty());
    e.mouseDown(9, 8, 2);
    EXPECT_EQ(m->pen, 10);
    e.mouseDown(-1, 8, 2);
    EXPECT_EQ(m->pen, 10);
    // The text tool takes the cell's colour RAM even in a bitmap mode.
    e.tool = 1;
    e.mouseDown(9, 8, 2);
    EXPECT_EQ(m->pen, 6);
    e.mouseDown(320, 8, 2);
    EXPECT_EQ(m->pen, 6);
    EXPECT_EQ(ram(), before);
}

TEST_F(EditorDrawTest, TextToolClickMovesCursorAndArmsUndo) {
    e.tool = 2;  // the dot tool moves the text cursor with the pointer
    e.mouseDown(44, 20, 0);
    e.mouseUp(44, 20, 0);
    EXPECT_EQ(e.cursorCol, 5);
    EXPECT_EQ(e.cursorRow, 2);
    u.Clear();
    e.tool = 1;
    e.cursorCol = 0;
    e.cursorRow = 6;
    e.textUndoPending = false;
    e.mouseDown(0, 48, 0);  // the cursor's own cell (0, 6)
    EXPECT_FALSE(e.textUndoPending);
    e.mouseDown(-50, 5000, 0);
    EXPECT_EQ(e.cursorCol, 0);
    EXPECT_EQ(e.cursorRow, 24);
    EXPECT_TRUE(e.textUndoPending);
    EXPECT_TRUE(u.undo.empty());
}

TEST_F(EditorDrawTest, ToolKeyMidDragDrawsNothing) {
    // Select, freehand, line and rectangle drags; a tool key goes down while the button is held.
    for (auto [from, to] : {std::pair{9, 2}, {3, 4}, {4, 3}, {6, 5}}) {
        bitmapMode(false);
        e.tool = from;
        e.mouseDown(10, 10, 0);
        const Bytes pressed = ram();
        const size_t steps = u.undo.size();
        e.tool = to;
        e.mouseMove(60, 40);
        e.mouseUp(90, 50, 0);
        EXPECT_EQ(ram(), pressed) << from << " " << to;
        EXPECT_EQ(u.undo.size(), steps);
    }
}

TEST_F(EditorDrawTest, PendingShapeSettledBeforeUndo) {
    bitmapMode(false);
    m->pen = 1;
    e.tool = 6;
    e.mouseDown(10, 10, 0);
    e.mouseMove(50, 50);
    // A load (or undo) arrives mid-drag: the editor settles first.
    e.commitPendingEdits();
    EXPECT_FALSE(e.drawing);
    EXPECT_TRUE(e.savedScreen.empty());
    m->ram[0x2000] = 0xAA;  // the load's bytes
    e.mouseMove(100, 100);
    e.mouseUp(100, 100, 0);
    EXPECT_EQ(m->ram[0x2000], 0xAA);
    EXPECT_TRUE(hiresBit(50, 30));
    EXPECT_FALSE(hiresBit(100, 30));
}

TEST_F(EditorDrawTest, ShapeDragStopsWhenModeChangesUnderIt) {
    bitmapMode(false);
    m->pen = 1;
    e.tool = 4;
    e.mouseDown(10, 10, 0);
    e.mouseMove(20, 10);
    m->setGfxMode(0);  // switched without settling the editor
    std::memset(m->ram + 0x0400, 0x41, 1000);
    e.mouseMove(30, 10);
    e.mouseUp(30, 10, 0);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(m->ram[0x0400 + i], 0x41);
    EXPECT_FALSE(e.drawing);
}

}  // namespace
