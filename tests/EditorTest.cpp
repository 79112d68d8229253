#include <algorithm>
#include <cmath>
#include <random>

#include "tests/EditorTestSupport.h"

using namespace VicReg;

namespace {

using EditorDrawTest = EditorFixture;

// 1: lit, 0: clear, -1: either.
using Want = int (*)(int x, int y);

int near(double d, double r, double slack) { return std::abs(d - r) > slack ? 0 : -1; }

TEST_F(EditorDrawTest, Shapes) {
    const Want checker = [](int x, int y) { return int(std::abs(x - 4) <= 2 && std::abs(y - 4) <= 2 && ((x + y) & 1)); };
    const struct { int mode; const char* script; Want want; } rows[] = {
        // The dot tool leaves gaps, freehand joins.
        {3, "tool 2 press 10,10,0 move 20,10 release 20,10,0",
         [](int x, int y) { return int(y == 10 && (x == 10 || x == 20)); }},
        {3, "tool 3 press 10,10,0 move 20,10 release 20,10,0",
         [](int x, int y) { return int(y == 10 && x >= 10 && x <= 20); }},
        // Brushes: a 3x3 square, a 13-point diamond, a 12-point checker on even coordinates.
        {3, "tool 2 brush 2 press 10,10,0 release 10,10,0",
         [](int x, int y) { return int(std::abs(x - 10) <= 1 && std::abs(y - 10) <= 1); }},
        {3, "tool 2 brush 3 press 10,10,0 release 10,10,0",
         [](int x, int y) { return int(std::abs(x - 10) + std::abs(y - 10) <= 2); }},
        {3, "tool 2 brush 4 press 3,3,0 release 3,3,0", checker},
        {3, "tool 2 brush 4 press 4,4,0 release 4,4,0", checker},
        // Lines step along the long axis, the other coordinate truncated toward zero.
        {3, "tool 4 press 0,0,0 release 2,5,0", [](int x, int y) { return int(y <= 5 && x == (y * 2) / 5); }},
        {3, "tool 4 press 10,10,0 release 4,8,0",
         [](int x, int y) { return int(x >= 4 && x <= 10 && y == 10 + ((10 - x) * -2) / 6); }},
        // The right button erases with the brush.
        {3, "filled tool 6 press 0,0,0 release 319,199,0 tool 4 brush 2 press 50,50,1 release 60,50,1",
         [](int x, int y) { return int(!(x >= 49 && x <= 61 && y >= 49 && y <= 51)); }},
        // Circles: the drag length rounded to the radius (5; 2.83 to 3), halved across in multicolour,
        // a quarter on the text grid.
        {3, "tool 5 press 100,100,0 release 103,104,0", [](int x, int y) {
             return (x == 100 && std::abs(y - 100) == 5) || (y == 100 && std::abs(x - 100) == 5) ? 1 : near(std::hypot(x - 100, y - 100), 5, 0.8);
         }},
        {3, "tool 5 press 100,100,0 release 102,102,0", [](int x, int y) {
             return (x == 100 && std::abs(y - 100) == 3) || (y == 100 && std::abs(x - 100) == 3) ? 1 : near(std::hypot(x - 100, y - 100), 3, 0.8);
         }},
        {4, "tool 5 press 100,100,0 release 103,104,0", [](int x, int y) {
             return (x == 50 && std::abs(y - 100) == 5) || (y == 100 && std::abs(x - 50) == 2) ? 1 : (x == 53 || y == 106) ? 0 : -1;
         }},
        {0, "tool 5 press 100,100,0 release 103,104,0",
         [](int x, int y) { return int(std::abs(x - 25) + std::abs(y - 25) == 1); }},
        // Shift: an ellipse through the drag point; a zero radius gives a line or a single point.
        {3, "shift tool 5 press 100,100,0 release 110,100,0",
         [](int x, int y) { return int(y == 100 && x >= 90 && x <= 110); }},
        {3, "shift tool 5 press 100,100,0 release 100,100,0", [](int x, int y) { return int(x == 100 && y == 100); }},
        {3, "shift tool 5 press 100,100,0 release 120,105,0", [](int x, int y) {
             return (x == 100 && std::abs(y - 100) == 5) || (y == 100 && std::abs(x - 100) == 20) ? 1 : (x == 121 || y == 106) ? 0 : -1;
         }},
        {3, "filled tool 5 press 160,100,0 release 170,100,0", [](int x, int y) {
             const double d = std::hypot(x - 160, y - 100);
             return d < 9 ? 1 : d > 11 ? 0 : -1;
         }},
        // Rectangles: filled ones use single pixels whatever the brush and reach the last column of every grid.
        {3, "filled tool 6 brush 3 press 20,30,0 release 10,25,0",
         [](int x, int y) { return int(x >= 10 && x <= 20 && y >= 25 && y <= 30); }},
        {3, "tool 6 press 20,30,0 release 10,25,0", [](int x, int y) {
             return int(x >= 10 && x <= 20 && y >= 25 && y <= 30 && (x == 10 || x == 20 || y == 25 || y == 30));
         }},
        {3, "filled tool 6 press 300,40,0 release 330,60,0",
         [](int x, int y) { return int(x >= 300 && y >= 40 && y <= 60); }},
        {4, "filled tool 6 press 300,40,0 release 330,60,0",
         [](int x, int y) { return int(x >= 150 && y >= 40 && y <= 60); }},
        {0, "filled tool 6 press 300,40,0 release 330,60,0",
         [](int x, int y) { return int(x >= 75 && y >= 10 && y <= 15); }},
        // A square dragged left of the screen keeps its corner at (-10, 30): no left side, no stray column 0.
        {3, "shift tool 6 brush 2 press 10,10,0 release 4,30,0", [](int x, int y) {
             if (x <= 1 && y >= 13 && y <= 27) return 0;
             if ((x == 10 && y >= 9 && y <= 31) || ((y == 10 || y == 30) && x <= 11)) return 1;
             return x == 12 && y == 20 ? 0 : -1;
         }},
        // On the text grid the corner becomes -3; brush 2 reaches rows 1-3 and 6-8 only.
        {0, "shift tool 6 brush 2 press 10,10,0 release 4,30,0", [](int x, int y) {
             return x == 0 && (y == 4 || y == 5) ? 0 : (x == 0 && y == 6) || (x == 2 && y == 2) ? 1 : -1;
         }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.script);
        mode(r.mode);
        e.brush = m->pen = 1;
        e.filled = e.shift = false;
        run(r.script);
        const bool text = r.mode == GfxMode::Text, multi = r.mode == GfxMode::MulticolorBitmap;
        const int w = text ? 80 : multi ? 160 : 320, h = text ? 50 : 200;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int want = r.want(x, y);
                if (want >= 0 && (px(x, y) != 0) != (want == 1) && wrong++ < 3) ADD_FAILURE() << "at " << x << "," << y;
            }
        EXPECT_EQ(wrong, 0);
    }
}

// Drags far outside the screen with every tool, brush and button, and the shapes drawn with far
// coordinates directly, write only screen memory.
TEST_F(EditorDrawTest, FarCoordinatesWriteOnlyScreenMemory) {
    // The memory before, but the screen's bytes (and the bitmap's in a bitmap mode) as they are now.
    auto screenOnly = [&](Bytes want, int mode) {
        std::copy_n(m->ram + 0x0400, 1000, want.begin() + 0x0400);
        std::copy_n(m->ram + 0xD800, 1000, want.begin() + 0xD800);
        std::copy_n(m->ram + 0x2000, mode >= GfxMode::Bitmap ? 8000 : 0, want.begin() + 0x2000);
        return want;
    };
    const int far[][4] = {{-10000, -10000, 10000, 10000}, {10000, -10000, -10000, 10000}, {0, 0, 319, 199},
                          {319, 199, -10000, 5},          {-5, 10000, 400, -400},           {160, 100, 10000, 10000},
                          {0, 199, 0, -10000},            {319, 0, 10000, 0}};
    for (int mode : {GfxMode::Text, GfxMode::Bitmap, GfxMode::MulticolorBitmap})
        for (Editor::Tool tool : {Editor::ToolDot, Editor::ToolFreehand, Editor::ToolLine, Editor::ToolCircle,
                                  Editor::ToolRect, Editor::ToolFill})
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
                EXPECT_EQ(ram(), screenOnly(before, mode)) << "mode " << mode << " tool " << tool;
                EXPECT_FALSE(e.drawing);
            }
    mode(GfxMode::Bitmap);
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
    EXPECT_EQ(ram(), screenOnly(before, 3));
    EXPECT_NE(px(0, 0), 0);  // the filled rectangle covered the screen
}

TEST_F(EditorDrawTest, Scenarios) {
    Pokes allFive;  // every multicolour pixel colour 5, every cell's slots taken
    for (int i = 0; i < 8000; ++i) allFive.push_back({0x2000 + i, 0x55});
    for (int i = 0; i < 1000; ++i) allFive.insert(allFive.end(), {{0x0400 + i, 0x57}, {0xD800 + i, 2}});
    Pokes spaces;  // a fill over a text screen of spaces reaches every cell
    for (int i = 0; i < 1000; i += 37) spaces.insert(spaces.end(), {{0x0400 + i, 0xE0}, {0xD800 + i, 5}});
    // (10, 10) drawn by the press; (35, 25) and (60, 40) on the way, (50, 10) and (50, 30) on shapes to (90, 50).
    const Pokes midDrag{{0x214A, 0x20}, {0x23E1, 0}, {0x2678, 0}, {0x2172, 0}, {0x23F6, 0}};
    // The rubber band's earlier lines to (100, 0) and (0, 100) leave no trace: the diagonal to (n, n) alone.
    auto diagonal = [](int n) {
        Pokes bytes{{0x2060, 0}, {0x2F04, 0}};
        for (int k = 0; k <= 50; ++k)
            bytes.push_back({0x2000 + (k >> 3) * 320 + (k & ~7) + (k & 7), k <= n ? 0x80 >> (k & 7) : 0});
        return bytes;
    };
    // Cell 0: colours 6 and 7 but for two colour-5 pixels at (0, 7) and (3, 7), apart; cell 1 all colour 5.
    Pokes apartFives{{0x0400, 0x56}, {0x0401, 0x56}, {0xD800, 7}, {0xD801, 7}, {0x2007, 0x7D}};
    for (int i = 0; i < 8; ++i) apartFives.insert(apartFives.end(),
        {{0x2000 + i, i < 7 ? 0xAF : 0x7D}, {0x2008 + i, 0x55}});
    play({
        // The pen takes over slot 1, which recolours (3, 7) too; the fill goes on only from the pixels it sets.
        {"a multicolour fill stays in its own area", 4, apartFives, "pen 9 tool 7 press 0,7,0",
         {{0x0400, 0x96}, {0x0401, 0x56}, {0xD800, 7}, {0xD801, 7}, {0x2007, 0x7D}, {0x2008, 0x55}, {0x200F, 0x55}},
         "multicolor floodfill", 1},
        {"the rubber band shows only the latest line", 3, {},
         "pen 1 tool 4 press 0,0,0 move 100,0 move 0,100 move 30,30 settle", diagonal(30), "hires drawing", 1},
        {"the rubber band keeps only the final line", 3, {},
         "pen 1 tool 4 press 0,0,0 move 100,0 move 0,100 move 30,30 release 50,50,0", diagonal(50), "hires drawing", 1},
        {"a fill with a refused pen stops with one warning", 4, allFive,
         "no-new-colours pen 9 tool 7 press 10,10,0 warned", {}},
        {"fill over a text screen of spaces", 0, {}, "pen 5 tool 7 press 100,100,0", spaces, "textmode floodfill", 1},
        {"fill that changes nothing, outside, or with button 1", 3, {},
         "pen 0 tool 7 press 5,5,0 press -1,5,0 press 320,5,0 pen 1 press 5,5,1", {}, "", 0},
        // Row 0: 5 7 2 7, row 1: 2; slot 1 (colour 5) is strictly least used. Its one pixel changes
        // with it, and the rest of the 3x3 stamp reuses it.
        {"a multicolour stamp reuses the slot it took", 4, {{0x0400, 0x57}, {0xD800, 2}, {0x2000, 0x6E}, {0x2001, 0xC0}},
         "pen 9 tool 2 brush 2 press 2,1,0 release 2,1,0",
         {{0x0400, 0x97}, {0xD800, 2}, {0x2000, 0x56}, {0x2001, 0x54}, {0x2002, 0x54}}, "multicolor drawing", 1},
        // A load (or undo) arrives mid-drag: the editor settles first and leaves the loaded bytes.
        {"a pending shape is settled", 3, {},
         "pen 1 tool 6 press 10,10,0 move 50,50 settle poke 2000=AA move 100,100 release 100,100,0",
         {{0x2000, 0xAA}, {0x23F6, 0x20}, {0x2426, 0}}, "hires drawing", 1},
        {"a shape drag stops when the mode changes under it", 3, {},
         "pen 1 tool 4 press 10,10,0 move 20,10 mode 0 poke 400=41 poke 429=41 poke 42A=41 "
         "move 30,10 release 30,10,0",
         {{0x0400, 0x41}, {0x0429, 0x41}, {0x042A, 0x41}, {0x042B, 0x10}}, "hires drawing", 1},
        // A select, freehand, line or rectangle drag while a tool key goes down: no more than the press.
        {"tool key mid-select", 3, {}, "tool 9 press 10,10,0 tool 2 move 60,40 release 90,50,0", {}, "", 0},
        {"tool key mid-freehand", 3, {}, "tool 3 press 10,10,0 tool 4 move 60,40 release 90,50,0", midDrag,
         "hires drawing", 1},
        {"tool key mid-line", 3, {}, "tool 4 press 10,10,0 tool 3 move 60,40 release 90,50,0", midDrag, "hires drawing", 1},
        {"tool key mid-rectangle", 3, {}, "tool 6 press 10,10,0 tool 5 move 60,40 release 90,50,0", midDrag,
         "hires drawing", 1},
    });
}

// Reference: the 4-connected region of the seed's colour on a colour grid.
std::vector<bool> referenceRegion(const std::vector<int>& colours, int w, int h, int sx, int sy) {
    std::vector<bool> in(colours.size(), false);
    std::vector<std::pair<int, int>> todo{{sx, sy}};
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        if (x < 0 || y < 0 || x >= w || y >= h || in[y * w + x] || colours[y * w + x] != colours[sy * w + sx]) continue;
        in[y * w + x] = true;
        todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
    return in;
}

// The fill as a plain stack of points, every pixel read and written through PixelOperator.
void plainFill(Machine& machine, int x, int y) {
    PixelOperator p(machine);
    const u8 seed = p.GetPixel(x, y);
    std::vector<std::pair<int, int>> todo{{x, y}};
    while (!todo.empty()) {
        const auto [px, py] = todo.back();
        todo.pop_back();
        if (p.GetPixel(px, py) != seed) continue;
        p.SetPixel(px, py, false);
        if (p.GetPixel(px, py) == seed) continue;
        for (auto [dx, dy] : {std::pair{0, -1}, {-1, 0}, {1, 0}, {0, 1}})
            if (p.GetPixel(px + dx, py + dy) == seed) todo.push_back({px + dx, py + dy});
    }
}

// Random pictures filled from a random seed pixel, against a 4-connected reference region: hires
// and text grid (about a quarter lit), multicolour with colour 2 in every cell's colour RAM and 5 and
// 7 swapping places from cell to cell; pen 2 sits in every cell, pen 3 takes over slots, which
// recolours pixels beside the region, so there the whole memory is compared with the plain fill's.
TEST_F(EditorDrawTest, FillMatchesReference) {
    std::mt19937 rng(11);
    const struct { int mode, pen, seedColour, rounds; } rows[] = {{3, 1, 0, 4}, {0, 7, 0, 4}, {4, 2, 5, 4}, {4, 3, 5, 8}};
    for (const auto& r : rows)
        for (int round = 0; round < r.rounds; ++round) {
            const bool text = r.mode == GfxMode::Text, multi = r.mode == GfxMode::MulticolorBitmap;
            const int w = text ? 80 : multi ? 160 : 320, h = text ? 50 : 200;
            mode(r.mode);
            for (int i = 0; text && i < 1000; ++i) {
                const int k = int(rng() % 20);  // block characters, and letters that count as empty cells
                m->ram[0x0400 + i] = k < 16 ? PixelOperator::textpixtab[k] : u8(1 + k);
                m->ram[0xD800 + i] = 7;
            }
            for (int i = 0; !text && i < 8000; ++i) m->ram[0x2000 + i] = u8(multi ? rng() : rng() & rng());
            for (int i = 0; multi && i < 1000; ++i) {
                m->ram[0x0400 + i] = (rng() & 1) ? 0x57 : 0x75;
                m->ram[0xD800 + i] = 2;
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
            const auto plain = std::make_unique<Machine>(*m);
            plainFill(*plain, sx, sy);
            e.tool = Editor::ToolFill;
            e.mouseDown(text ? sx * 4 + 2 : multi ? sx * 2 + 1 : sx, text ? sy * 4 + 3 : sy, 0);
            if (r.pen == 3) {
                ASSERT_EQ(ram(), Bytes(plain->ram, plain->ram + 65536)) << round;
                continue;
            }
            // Exact; no seed-coloured pixel is left next to one the fill changed.
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int now = px(x, y), was = colours[y * w + x], i = y * w + x;
                    ASSERT_EQ(now, region[i] ? r.pen : was) << r.mode << " " << x << "," << y;
                    if (was != r.seedColour || now == r.seedColour) continue;
                    for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                        ASSERT_NE(px(std::clamp(x + dx, 0, w - 1), std::clamp(y + dy, 0, h - 1)),
                            r.seedColour) << x << "," << y;
                }
            for (int i = 0; r.mode == GfxMode::Bitmap && i < 1000; ++i) ASSERT_EQ(m->ram[0x0400 + i], 0x10);
        }
}

// Button 2 picks the colour under the pointer (none outside the grid) and draws nothing; the text tool takes the cell's
// colour RAM even in a bitmap mode. A text click moves the cursor and arms a new typing step unless
// it lands on the cursor's own cell.
TEST_F(EditorDrawTest, PickAndClick) {
    const Pokes cell{{0x0429, 0x3A}, {0xD829, 0xF6}, {0x2148, 0x80}};  // ink 3 on paper 10, (8, 8) lit
    play({
        {"pick the ink", 3, cell, "pen 1 tool 4 press 8,8,2 move 20,20 release 20,20,2", {}, "", 0, {-1, -1}, 3},
        {"pick the paper", 3, cell, "tool 4 press 9,8,2", {}, "", 0, {-1, -1}, 10},
        {"pick outside the text grid", 0, {}, "pen 7 tool 4 press -1,8,2 press 8,-1,2 press 320,8,2 press 8,200,2", {}, "",
         0, {-1, -1}, 7},
        {"pick outside the hires grid", 3, cell, "pen 7 tool 4 press -1,8,2 press 8,-1,2 press 320,8,2 press 8,200,2", {},
         "", 0, {-1, -1}, 7},
        {"pick outside the multicolour grid", 4, {}, "pen 7 tool 4 press -1,8,2 press 8,-1,2 press 320,8,2 press 8,200,2",
         {}, "", 0, {-1, -1}, 7},
        {"pick with the text tool", 3, cell, "tool 1 press 9,8,2", {}, "", 0, {-1, -1}, 6},
        {"pick outside with the text tool", 3, cell, "pen 7 tool 1 press 320,8,2", {}, "", 0, {-1, -1}, 7},
        {"the dot tool moves the text cursor with the pointer", 0, {}, "tool 2 press 44,20,0 release 44,20,0",
         {{0x0400 + 85, 0x6C}}, "textmode drawing", 1, {5, 2}},
        {"a text click on the cursor's cell", 0, {}, "cursor 0,6 type 41 cursor 0,6 press 0,48,0 type 42",
         {{0x0400 + 240, 0x42}}, "textmode text", 1, {1, 6}},
        {"a text click elsewhere, held to the screen", 0, {}, "cursor 0,6 type 41 press -50,5000,0 type 42",
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
                u.TakeUndo(UndoBuffer::KindVic, "vic");
                m->bank = u16(rng() & 3);
                m->vic[MemoryPointers] = u8(rng());
                m->setGfxMode(int(rng() % GfxMode::count));
            }
            if (r == 5) {
                e.tool = Editor::Tool(1 + rng() % 7);
                e.mouseDown(x, y, int(rng() % 2));
                e.mouseUp(x, y, 0);
            }
            if (r == 6) rng() & 1 ? e.undoLast() : e.redoLast();
        }
        while (!u.undo.empty()) e.undoLast();
        ASSERT_EQ(ram(), start) << session;
    }
}

using PixelOperatorTest = EditorFixture;

// Multicolour cell 0 with slots 1-3 used n1, n2, n3 times in reading order (background the rest).
Pokes cell0(int n1, int n2, int n3, Pokes more) {
    auto pairAt = [&](int i) { return i < n1 ? 1 : i < n1 + n2 ? 2 : i < n1 + n2 + n3 ? 3 : 0; };
    for (int row = 0; row < 8; ++row) {
        int b = 0;
        for (int pos = 0; pos < 4; ++pos) b |= pairAt(row * 4 + pos) << (6 - 2 * pos);
        more.push_back({0x2000 + row, b});
    }
    return more;
}

// Pixels set and erased with the dot tool, read back with button 2. On the text grid each cell's
// quadrants make a block character (erasing recolours too). In multicolour the background needs
// no slot; existing slots are reused, colour RAM first, then the high nibble; free slots are taken
// high nibble, low nibble, colour RAM; a full cell replaces its least used slot, ties going to
// colour RAM, unless new colours are refused, which raises a warning that stays up.
TEST_F(PixelOperatorTest, SetAndErase) {
    const std::string four = "pen 7 tool 2 press 0,0,0 press 4,0,0 press 0,4,0 press 4,4,0 ";
    const Pokes mc57{{0x0400, 0x57}, {0xD800, 0xF2}}, full{{0x0400, 0x57}, {0xD800, 2}, {0x2000, 0x6C}};
    play({
        {"one quadrant of a letter", 0, {{0x0400, 1}}, "pen 7 tool 2 press 0,0,0 release 0,0,0",
         {{0x0400, 0x7E}, {0xD800, 7}}},
        {"two quadrants", 0, {{0x0400, 1}}, "pen 7 tool 2 press 0,0,0 press 4,0,0 release 4,0,0",
         {{0x0400, 0xE2}, {0xD800, 7}}},
        {"four quadrants", 0, {{0x0400, 1}}, four + "release 4,4,0", {{0x0400, 0xE0}, {0xD800, 7}}},
        {"erased to one", 0, {{0x0400, 1}}, four + "press 0,0,1 press 4,0,1 press 0,4,1 release 0,4,1",
         {{0x0400, 0x6C}, {0xD800, 7}}},
        {"erased to none", 0, {}, four + "press 0,0,1 press 4,0,1 press 0,4,1 pen 3 press 4,4,1 release 4,4,1",
         {{0x0400, 0x20}, {0xD800, 3}}},
        {"extended background: the last cell", 2, {},
         "pen 9 tool 2 press 316,196,0 release 316,196,0 pen 0 tool 4 press 316,196,2",
         {{0x07E7, 0x6C}, {0xDBE7, 9}}, nullptr, 0, {-1, -1}, 9},
        {"read in multicolour text", 2, {},
         "pen 9 tool 2 press 316,196,0 release 316,196,0 mode 1 pen 0 tool 4 press 316,196,2",
         {{0x07E7, 0x6C}, {0xDBE7, 9}}, nullptr, 0, {-1, -1}, 9},
        // The register's high bits are ignored; the pen inks the cell even when erasing.
        {"hires ink", 3, {{0x0429, 0}, {vic(Background0), 0x36}}, "pen 2 tool 2 press 9,10,0 release 9,10,0 pen 0 press 8,10,2",
         {{0x214A, 0x40}, {0x0429, 0x26}}, nullptr, 0, {-1, -1}, 6},
        {"hires erase", 3, {{0x0429, 0x26}, {0x214A, 0x40}, {vic(Background0), 0x36}},
         "pen 11 tool 2 press 9,10,1 release 9,10,1 press 319,199,0 release 319,199,0",
         {{0x214A, 0}, {0x0429, 0xB6}, {0x3F3F, 1}}},
        {"multicolour erase clears the pair, keeps the colours", 4, {{0x3F3F, 0xFF}, {0x07E7, 0x12}, {0xDBE7, 3}},
         "pen 9 tool 2 press 318,199,1 release 318,199,1 tool 4 press 316,199,2",
             {{0x3F3F, 0xFC}, {0x07E7, 0x12}, {0xDBE7, 3}}, nullptr, 0,
         {-1, -1}, 3},
        // Screen $C000, bitmap $E000; pair %01 is the screen byte's high nibble.
        {"the grid follows the registers", 3, {{0xC027, 0}, {0xE138, 0}},
         "bank 3 vic 18=8 pen 1 tool 2 press 319,0,0 release 319,0,0 mode 4 pen 0 tool 4 press 318,0,2",
             {{0xE138, 1}, {0xC027, 0x10}}, nullptr, 0,
         {-1, -1}, 1},
        {"the background needs no slot", 4, {{0x0400, 0x12}, {0xD800, 3}, {0x2000, 0xFF}, {vic(Background0), 0x14}},
         "no-new-colours pen 4 tool 2 press 2,0,0 release 2,0,0", {{0x0400, 0x12}, {0xD800, 3}, {0x2000, 0xCF}}},
        {"colour RAM reused", 4, mc57, "pen 2 tool 2 press 4,3,0 release 4,3,0",
         {{0x0400, 0x57}, {0xD800, 0xF2}, {0x2003, 0x0C}}},
        {"the high nibble reused", 4, mc57, "pen 5 tool 2 press 4,3,0 release 4,3,0",
         {{0x0400, 0x57}, {0xD800, 0xF2}, {0x2003, 0x04}}},
        {"the low nibble reused", 4, mc57, "pen 7 tool 2 press 4,3,0 release 4,3,0",
         {{0x0400, 0x57}, {0xD800, 0xF2}, {0x2003, 0x08}}},
        // All four bits of colour RAM count: 9 is not colour 1, so pen 1 takes the free high nibble.
        {"colour RAM 9 is not colour 1", 4, {{0x0400, 0x57}, {0xD800, 9}}, "pen 1 tool 2 press 0,0,0 release 0,0,0",
         {{0x0400, 0x17}, {0xD800, 9}, {0x2000, 0x40}}},
        {"colour RAM before the high nibble", 4, {{0x0400, 0x33}, {0xD800, 3}}, "pen 3 tool 2 press 0,0,0 release 0,0,0",
         {{0x0400, 0x33}, {0xD800, 3}, {0x2000, 0xC0}}},
        {"the high nibble before the low", 4, {{0x0400, 0x33}, {0xD800, 1}}, "pen 3 tool 2 press 0,0,0 release 0,0,0",
         {{0x0400, 0x33}, {0xD800, 1}, {0x2000, 0x40}}},
        {"a free high nibble taken first", 4, {{0x0400, 0x11}, {0xD800, 1}}, "pen 5 tool 2 press 0,0,0 release 0,0,0",
         {{0x0400, 0x51}, {0xD800, 1}, {0x2000, 0x40}}},
        {"then the low nibble, then colour RAM", 4, {{0x0400, 0x11}, {0xD800, 1}},
         "pen 5 tool 2 press 0,0,0 pen 7 press 2,0,0 pen 2 press 4,0,0 release 4,0,0", full},
        {"a new colour refused in a full cell", 4, full, "no-new-colours pen 9 tool 2 press 6,0,0 release 6,0,0 warned",
         {}},
        {"an existing one goes, the warning stays up", 4, full,
         "no-new-colours pen 9 tool 2 press 6,0,0 pen 5 press 6,0,0 release 6,0,0 warned", {{0x2000, 0x6D}}},
        {"the least used slot replaced: high nibble", 4, cell0(3, 10, 19, {{0x0400, 0x57}, {0xD800, 2}}),
         "pen 9 tool 2 press 6,7,0 release 6,7,0", {{0x0400, 0x97}, {0xD800, 2}, {0x2007, 0xFD}, {0x2000, 0x56}}},
        {"the least used slot replaced: low nibble", 4, cell0(10, 3, 19, {{0x0400, 0x57}, {0xD800, 2}}),
         "pen 9 tool 2 press 6,7,0 release 6,7,0", {{0x0400, 0x59}, {0xD800, 2}, {0x2007, 0xFE}}},
        {"the least used slot replaced: colour RAM", 4, cell0(10, 19, 3, {{0x0400, 0x57}, {0xD800, 2}}),
         "pen 9 tool 2 press 0,0,0 release 0,0,0", {{0x0400, 0x57}, {0xD800, 9}, {0x2000, 0xD5}}},
        {"a tie goes to colour RAM", 4, cell0(5, 5, 22, {{0x0400, 0x57}, {0xD800, 2}}),
         "pen 9 tool 2 press 0,0,0 release 0,0,0", {{0x0400, 0x57}, {0xD800, 9}, {0x2000, 0xD5}}},
    });
    // Every mask of the table reads back quadrant by quadrant: cell (1, 1) covers mode pixels (2..3, 2..3).
    mode(GfxMode::Text);
    m->ram[0xD800 + 41] = 5;
    m->vic[Background0] = 6;
    for (int mask = 0; mask < 16; ++mask) {
        EXPECT_EQ(PixelOperator::textMask(PixelOperator::textpixtab[mask]), mask);
        m->ram[0x0400 + 41] = PixelOperator::textpixtab[mask];
        const std::array<int, 4> got{px(2, 2), px(3, 2), px(2, 3), px(3, 3)};
        const std::array<int, 4> want{mask & 8 ? 5 : 6, mask & 4 ? 5 : 6, mask & 2 ? 5 : 6, mask & 1 ? 5 : 6};
        EXPECT_EQ(got, want) << mask;
    }
    for (u8 code : {0x01, 0x20}) EXPECT_EQ(PixelOperator::textMask(code), 0) << int(code);
}

// Outside the mode's grid reads 255 and writes nothing.
TEST_F(PixelOperatorTest, OutsideTheGrid) {
    const int w[5] = {80, 80, 80, 320, 160}, h[5] = {50, 50, 50, 200, 200};
    for (int mode : {GfxMode::Text, GfxMode::Bitmap, GfxMode::MulticolorBitmap}) {
        m->setGfxMode(mode);
        const Bytes before = ram();
        for (auto [x, y] : {std::pair{w[mode], 0}, {0, h[mode]}, {-1, 3}, {0, -1}}) {
            probe.SetPixel(x, y, false);
            probe.SetPixel(x, y, true);
            EXPECT_EQ(px(x, y), 255) << mode << " " << x << "," << y;
        }
        EXPECT_EQ(ram(), before) << mode;
    }
}

}  // namespace
