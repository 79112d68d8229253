#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

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
        std::memset(m->ram + 0x0400, mode() == 0 ? 0x20 : 0x10 | (m->vic[0x21] & 15), 1000);
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
BENCHMARK(BM_FloodFillWholeScreen)->Arg(0)->Arg(3)->Arg(4)->Unit(benchmark::kMicrosecond);

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
BENCHMARK(BM_RubberBandLargestFilledCircle)->Arg(0)->Arg(3)->Arg(4)->Unit(benchmark::kMicrosecond);

}  // namespace
