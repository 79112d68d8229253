#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/Machine.h"
#include "core/Palette.h"
#include "core/Vic.h"

namespace {

std::unique_ptr<Machine> benchMachine(int mode) {
    auto m = std::make_unique<Machine>();
    m->reset();
    u32 s = 12345;
    for (u8& b : m->ram) {
        s = s * 1103515245u + 12345u;
        b = u8(s >> 16);
    }
    for (int i = 0; i < 4096; ++i) m->charRom[i] = u8(i * 13);
    m->setGfxMode(mode);
    return m;
}

void BM_RenderFrame(benchmark::State& state) {
    auto m = benchMachine(int(state.range(0)));
    Palette pal;
    std::vector<u32> frame(Vic::FrameWidth * Vic::FrameHeight);
    for (auto _ : state) {
        Vic::renderFrame(*m, pal, frame.data());
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(gfxModeName(int(state.range(0))));
    state.SetItemsProcessed(state.iterations() * Vic::FrameWidth * Vic::FrameHeight);
}
BENCHMARK(BM_RenderFrame)->DenseRange(0, 4);

// The floor: copying a finished frame of the same size.
void BM_CopyFrame(benchmark::State& state) {
    std::vector<u32> src(Vic::FrameWidth * Vic::FrameHeight, 0xFF123456u), dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * sizeof(u32));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Vic::FrameWidth * Vic::FrameHeight);
}
BENCHMARK(BM_CopyFrame);

}  // namespace
