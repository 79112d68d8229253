#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "core/Editor.h"
#include "core/Machine.h"
#include "core/UndoBuffer.h"

namespace {

struct Rig {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    UndoBuffer u{*m};
    Editor e{*m, u};
    explicit Rig(int mode) {
        m->reset();
        m->setGfxMode(mode);
    }
    void blank() {
        std::memset(m->ram + 0x2000, 0, 8000);
        // Bitmap cells in white on the background, so an empty screen is one colour.
        std::memset(m->ram + 0x0400, mode() == GfxMode::Text ? 0x20 : 0x10 | (m->vic[VicReg::Background0] & 15), 1000);
        std::memset(m->ram + 0xD800, 0, 1000);
    }
    int mode() const { return m->gfxMode(); }
};

// Flood fill of the whole empty screen (80x50, 160x200 or 320x200 mode pixels), undo step included.
void BM_FloodFillWholeScreen(benchmark::State& state) {
    Rig r(int(state.range(0)));
    r.e.tool = Editor::ToolFill;
    r.m->pen = 1;
    for (auto _ : state) {
        state.PauseTiming();
        r.blank();
        r.u.Clear();
        state.ResumeTiming();
        r.e.mouseDown(160, 100, 0);
        benchmark::DoNotOptimize(r.m->ram[0x2000]);
    }
}
BENCHMARK(BM_FloodFillWholeScreen)->Arg(GfxMode::Text)->Arg(GfxMode::Bitmap)->Arg(GfxMode::MulticolorBitmap)->Unit(benchmark::kMicrosecond);

// The reference: the same fill, same stack and neighbour order, on a plain byte grid.
void plainFill(std::vector<u8>& grid, int w, int h, int x, int y, u8 colour) {
    const u8 seed = grid[size_t(y * w + x)];
    auto get = [&](int gx, int gy) -> u8 {
        return unsigned(gx) < unsigned(w) && unsigned(gy) < unsigned(h) ? grid[size_t(gy * w + gx)] : 255;
    };
    std::vector<u32> stack;
    stack.reserve(4096);
    stack.push_back(u32(x | y << 16));
    while (!stack.empty()) {
        const int px = int(stack.back() & 0xFFFF), py = int(stack.back() >> 16);
        stack.pop_back();
        if (get(px, py) != seed) continue;
        grid[size_t(py * w + px)] = colour;
        if (get(px, py - 1) == seed) stack.push_back(u32(px | (py - 1) << 16));
        if (get(px - 1, py) == seed) stack.push_back(u32((px - 1) | py << 16));
        if (get(px + 1, py) == seed) stack.push_back(u32((px + 1) | py << 16));
        if (get(px, py + 1) == seed) stack.push_back(u32(px | (py + 1) << 16));
    }
}

double micros(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - since).count();
}

// The editor's fill of the empty hires screen with its undo step, and the plain fill of
// the same 320x200 pixels, in turns.
void BM_FloodFillVsPlainFill(benchmark::State& state) {
    Rig r(3);
    r.e.tool = Editor::ToolFill;
    r.m->pen = 1;
    std::vector<u8> grid(320 * 200);
    double ours = 0, plain = 0;
    for (auto _ : state) {
        r.blank();
        r.u.Clear();
        auto t = std::chrono::steady_clock::now();
        r.e.mouseDown(160, 100, 0);
        benchmark::DoNotOptimize(r.m->ram[0x2000]);
        const double fill = micros(t);
        ours += fill;
        state.SetIterationTime(fill / 1e6);

        std::fill(grid.begin(), grid.end(), u8(0));
        t = std::chrono::steady_clock::now();
        plainFill(grid, 320, 200, 160, 100, 1);
        benchmark::DoNotOptimize(grid.data());
        plain += micros(t);
    }
    const double n = double(state.iterations());
    state.counters["ours us"] = ours / n;
    state.counters["plain us"] = plain / n;
    state.counters["ratio"] = ours / plain;
}
BENCHMARK(BM_FloodFillVsPlainFill)->Unit(benchmark::kMicrosecond)->UseManualTime();

// The worst rubber-band move: restore the backup and draw the largest filled circle.
void BM_RubberBandLargestFilledCircle(benchmark::State& state) {
    Rig r(int(state.range(0)));
    r.blank();
    r.e.tool = Editor::ToolCircle;
    r.e.filled = true;
    r.m->pen = 1;
    r.e.mouseDown(0, 0, 0);
    bool far = false;
    for (auto _ : state) {
        far = !far;
        r.e.mouseMove(far ? 319 : 318, 199);
        benchmark::DoNotOptimize(r.m->ram[0x2000]);
    }
    r.e.mouseUp(319, 199, 0);
}
BENCHMARK(BM_RubberBandLargestFilledCircle)->Arg(GfxMode::Text)->Arg(GfxMode::Bitmap)->Arg(GfxMode::MulticolorBitmap)->Unit(benchmark::kMicrosecond);

}  // namespace
