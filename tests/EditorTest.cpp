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
    run("tool4 md0,0,0 mv100,0 mv0,100 mv30,30");
    EXPECT_EQ(litHires(*this).size(), 31u);
    e.mouseUp(50, 50, 0);
    Points expect;
    for (int k = 0; k <= 50; ++k) expect.insert({k, k});
    EXPECT_EQ(litHires(*this), expect);
    EXPECT_TRUE(e.savedScreen.empty());
    EXPECT_EQ(u.undo.size(), 1u);
    u.MakeUndo();
    EXPECT_TRUE(litHires(*this).empty());
}

// Drags far outside the screen with every tool, brush and button, and the shapes drawn with far
// coordinates directly, write only screen memory.
TEST_F(EditorDrawTest, FarCoordinatesWriteOnlyScreenMemory) {
    auto onlyScreen = [&](const Bytes& before, int mode) {
        for (int a = 0; a < 65536; ++a) {
            const bool screen = (a >= 0x0400 && a < 0x0400 + 1000) || (a >= 0xD800 && a < 0xD800 + 1000) ||
                                (mode != 0 && a >= 0x2000 && a < 0x2000 + 8000);
            if (!screen) {
                ASSERT_EQ(m->ram[a], before[a]) << "mode " << mode << " tool " << e.tool << " at " << a;
            }
        }
    };
    const int far[][4] = {{-10000, -10000, 10000, 10000}, {10000, -10000, -10000, 10000}, {0, 0, 319, 199},
                          {319, 199, -10000, 5},          {-5, 10000, 400, -400},           {160, 100, 10000, 10000},
                          {0, 199, 0, -10000},            {319, 0, 10000, 0}};
    for (int mode : {0, 3, 4})
        for (int tool : {2, 3, 4, 5, 6, 7})
            for (int variant = 0; variant < 4; ++variant) {
                this->mode(mode);
                e.tool = tool;
                e.brush = 1 + variant;
                e.filled = variant & 1;
                e.shift = variant & 2;
                m->pen = 1 + variant;
                const Bytes before = ram();
                for (auto& f : far) {
                    e.mouseDown(f[0], f[1], variant == 3 ? 1 : 0);
                    e.mouseMove(f[2], f[3]);
                    e.mouseMove(-f[2], f[3]);
                    e.mouseUp(f[2], f[3], variant == 3 ? 1 : 0);
                }
                onlyScreen(before, mode);
                EXPECT_FALSE(e.drawing);
            }
    bitmapMode(false);
    m->pen = 1;
    const Bytes before = ram();
    e.brush = 4;
    e.erase = false;
    e._Rect(-10000, -10000, 10000, 10000, true);
    e._Rect(-10000, -10000, 10000, 10000, false);
    e._Ellipse(0, 0, 100000, 100000, false);
    e._Ellipse(160, 100, 10000, 3, true);
    e._LineBrush(-10000, 10000, 10000, -10000);
    e._HSpan(-100000, 100000, 5);
    onlyScreen(before, 3);
    EXPECT_TRUE(hiresBit(0, 0));  // the filled rectangle covered the screen
}

TEST_F(EditorDrawTest, Scenarios) {
    Pokes spaces;  // a fill over a text screen of spaces reaches every cell
    for (int i = 0; i < 1000; i += 37) spaces.insert(spaces.end(), {{0x0400 + i, 0xE0}, {0xD800 + i, 5}});
    // (10, 10) drawn by the press; (35, 25) and (60, 40) on the way, (50, 10) and (50, 30) on shapes to (90, 50).
    const Pokes midDrag{{0x214A, 0x20}, {0x23E1, 0}, {0x2678, 0}, {0x2172, 0}, {0x23F6, 0}};
    play({
        {"fill over a text screen of spaces", 0, {}, "p5 tool7 md100,100,0", spaces, "textmode floodfill", 1},
        {"fill that changes nothing, outside, or with button 1", 3, {}, "p0 tool7 md5,5,0 md-1,5,0 md320,5,0 p1 md5,5,1", {},
         "", 0},
        // Row 0: 5 7 2 7, row 1: 2; slot 1 (colour 5) is strictly least used. Its one pixel changes
        // with it, and the rest of the 3x3 stamp reuses it.
        {"a multicolour stamp reuses the slot it took", 4, {{0x0400, 0x57}, {0xD800, 2}, {0x2000, 0x6E}, {0x2001, 0xC0}},
         "p9 tool2 b2 md2,1,0 mu2,1,0", {{0x0400, 0x97}, {0xD800, 2}, {0x2000, 0x56}, {0x2001, 0x54}, {0x2002, 0x54}},
         "multicolor drawing", 1},
        // A load (or undo) arrives mid-drag: the editor settles first and leaves the loaded bytes.
        {"a pending shape is settled", 3, {}, "p1 tool6 md10,10,0 mv50,50 settle w2000=AA mv100,100 mu100,100,0",
         {{0x2000, 0xAA}, {0x23F6, 0x20}, {0x2426, 0}}, "hires drawing", 1},
        {"a shape drag stops when the mode changes under it", 3, {}, "p1 tool4 md10,10,0 mv20,10 m0 w400=41 w429=41 w42A=41 "
         "mv30,10 mu30,10,0", {{0x0400, 0x41}, {0x0429, 0x41}, {0x042A, 0x41}, {0x042B, 0x10}}, "hires drawing", 1},
        // A select, freehand, line or rectangle drag while a tool key goes down: no more than the press.
        {"tool key mid-select", 3, {}, "tool9 md10,10,0 tool2 mv60,40 mu90,50,0", {}, "", 0},
        {"tool key mid-freehand", 3, {}, "tool3 md10,10,0 tool4 mv60,40 mu90,50,0", midDrag, "hires drawing", 1},
        {"tool key mid-line", 3, {}, "tool4 md10,10,0 tool3 mv60,40 mu90,50,0", midDrag, "hires drawing", 1},
        {"tool key mid-rectangle", 3, {}, "tool6 md10,10,0 tool5 mv60,40 mu90,50,0", midDrag, "hires drawing", 1},
    });
}

TEST_F(EditorDrawTest, RefusedPenStopsMulticolourFillWithOneWarning) {
    bitmapMode(true, 0x57);
    std::memset(m->ram + 0xD800, 2, 1000);
    std::memset(m->ram + 0x2000, 0x55, 8000);  // every pixel colour 5
    e.pixels.noNewColours = true;
    const Bytes before = ram();
    run("p9 tool7 md10,10,0");
    EXPECT_TRUE(e.takePixelWarning());
    EXPECT_FALSE(e.takePixelWarning());
    EXPECT_EQ(ram(), before);
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

// Button 2 picks the colour under the pointer and draws nothing; the text tool takes the cell's
// colour RAM even in a bitmap mode. A text click moves the cursor and arms a new typing step unless
// it lands on the cursor's own cell.
TEST_F(EditorDrawTest, PickAndClick) {
    const Pokes cell{{0x0429, 0x3A}, {0xD829, 0xF6}, {0x2148, 0x80}};  // ink 3 on paper 10, (8, 8) lit
    play({
        {"pick the ink", 3, cell, "p1 tool4 md8,8,2 mv20,20 mu20,20,2", {}, "", 0, {-1, -1}, 3},
        {"pick the paper", 3, cell, "tool4 md9,8,2", {}, "", 0, {-1, -1}, 10},
        {"pick outside", 3, cell, "p7 tool4 md-1,8,2", {}, "", 0, {-1, -1}, 7},
        {"pick with the text tool", 3, cell, "tool1 md9,8,2", {}, "", 0, {-1, -1}, 6},
        {"pick outside with the text tool", 3, cell, "p7 tool1 md320,8,2", {}, "", 0, {-1, -1}, 7},
        {"the dot tool moves the text cursor with the pointer", 0, {}, "tool2 md44,20,0 mu44,20,0", {{0x0400 + 85, 0x6C}},
         "textmode drawing", 1, {5, 2}},
        {"a text click on the cursor's cell", 0, {}, "@0,6 t41 @0,6 md0,48,0 t42", {{0x0400 + 240, 0x42}}, "textmode text", 1,
         {1, 6}},
        {"a text click elsewhere, held to the screen", 0, {}, "@0,6 t41 md-50,5000,0 t42",
         {{0x0400 + 240, 0x41}, {0x0400 + 960, 0x42}}, "textmode text", 2, {1, 24}},
    });
}

// Random sessions of typing mixed with every other kind of step, the toolbar's register step (mode,
// bank and $D018) among them: undoing everything restores the start.
TEST_F(EditorDrawTest, RandomSessionsUndoToStart) {
    std::mt19937 rng(5);
    for (int session = 0; session < 40; ++session) {
        for (int i = 0; i < 65536; ++i) m->ram[i] = u8(rng());
        const Bytes start = ram();
        for (int step = 0; step < 60; ++step) {
            const int x = int(rng() % 320), y = int(rng() % 200), r = int(rng() % 7);
            if (r < 3) e.typeChar(u8(rng()));
            if (r == 3) e.editKey(rng() & 1 ? EditKey::Delete : EditKey::Insert, false);
            if (r == 4) {
                e.commitPendingEdits();
                u.TakeUndo(6, "vic");
                m->bank = u16(rng() & 3);
                m->vic[0x18] = u8(rng());
                m->setGfxMode(int(rng() % 5));
            }
            if (r == 5) {
                e.tool = int(1 + rng() % 7);
                e.mouseDown(x, y, int(rng() % 2));
                e.mouseUp(x, y, 0);
            }
            if (r == 6) rng() & 1 ? e.undoLast() : e.redoLast();
        }
        while (!u.undo.empty()) e.undoLast();
        ASSERT_EQ(ram(), start) << session;
    }
}

}  // namespace
