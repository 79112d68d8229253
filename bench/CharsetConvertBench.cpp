#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/CharsetConvert.h"
#include "core/Machine.h"
#include "core/Palette.h"

namespace {

// Hires picture of 1,000 different cells (screen $0400, bitmap $2000).
std::unique_ptr<Machine> distinctPicture() {
    auto m = std::make_unique<Machine>();
    m->reset();
    m->setGfxMode(GfxMode::Bitmap);
    u32 s = 777;
    for (int i = 0; i < 8000; ++i) {
        s = s * 1664525u + 1013904223u;
        m->ram[0x2000 + i] = u8(s >> 24);
    }
    for (int i = 0; i < 1000; ++i) {
        m->ram[0x2000 + i * 8] = u8(i);  // the first two bytes make every cell unique
        m->ram[0x2000 + i * 8 + 1] = u8(0x80 | i >> 8);
        m->ram[0x0400 + i] = 0x16;
    }
    return m;
}

void BM_ConvertMerge1000(benchmark::State& state) {
    auto original = distinctPicture();
    auto m = std::make_unique<Machine>();
    Palette pal;
    int chars = 0;
    for (auto _ : state) {
        state.PauseTiming();
        *m = *original;
        state.ResumeTiming();
        const auto r = ConvertBitmapToCharset(*m, pal, 1, true);
        chars = r.charCount;
        benchmark::DoNotOptimize(chars);
    }
    state.counters["chars"] = chars;
}
BENCHMARK(BM_ConvertMerge1000)->Unit(benchmark::kMillisecond);

// Reference: one std::sort of the same 499,500 pairs.
void BM_SortPairs1000(benchmark::State& state) {
    struct Pair {
        i32 distance, i, j;
    };
    std::vector<Pair> base;
    u32 s = 99;
    for (int i = 0; i < 1000; ++i)
        for (int j = i + 1; j < 1000; ++j) {
            s = s * 1664525u + 1013904223u;
            base.push_back(Pair{i32(s >> 26), i, j});
        }
    std::vector<Pair> pairs;
    for (auto _ : state) {
        state.PauseTiming();
        pairs = base;
        state.ResumeTiming();
        std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.distance < b.distance; });
        benchmark::DoNotOptimize(pairs.data());
    }
}
BENCHMARK(BM_SortPairs1000)->Unit(benchmark::kMillisecond);

}  // namespace
