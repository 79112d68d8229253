#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <new>
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
BENCHMARK(BM_RenderFrame)->DenseRange(GfxMode::Text, GfxMode::count - 1);

// The floor: copying a finished frame of the same size. Both buffers start on a cache line, and
// they lie half a page apart: copies whose source and destination are a few bytes apart modulo the
// page stall on false store-forwarding and would show a floor far above the renderer's.
void BM_CopyFrame(benchmark::State& state) {
    constexpr size_t kBytes = size_t(Vic::FrameWidth) * Vic::FrameHeight * sizeof(u32);
    constexpr size_t kPage = 4096, kGap = (kBytes + kPage - 1) / kPage * kPage + kPage / 2;
    auto release = [](void* p) { ::operator delete(p, std::align_val_t(kPage)); };
    std::unique_ptr<void, decltype(release)> block(::operator new(kGap + kBytes, std::align_val_t(kPage)), release);
    u8* const src = static_cast<u8*>(block.get());
    u8* const dst = src + kGap;
    std::memset(src, 0x56, kBytes);
    std::memset(dst, 0, kBytes);
    for (auto _ : state) {
        std::memcpy(dst, src, kBytes);
        benchmark::DoNotOptimize(dst);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Vic::FrameWidth * Vic::FrameHeight);
}
BENCHMARK(BM_CopyFrame);

}  // namespace
