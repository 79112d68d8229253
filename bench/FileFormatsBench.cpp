#include <benchmark/benchmark.h>

#include <memory>

#include "formats/FileFormats.h"

namespace {

void BM_LoadKoala(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    Bytes file(10003);
    for (size_t i = 0; i < file.size(); ++i) file[i] = u8(i * 7);
    for (auto _ : state) benchmark::DoNotOptimize(FileFormats::load(*m, 0, file));
}
BENCHMARK(BM_LoadKoala);

// The raw rows go pixel by pixel: the slowest load of the table.
void BM_LoadRaw8(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    Bytes file(64000);
    for (size_t i = 0; i < file.size(); ++i) file[i] = u8(i & 1);
    for (auto _ : state) benchmark::DoNotOptimize(FileFormats::load(*m, 3, file));
}
BENCHMARK(BM_LoadRaw8);

void BM_SaveKoala(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    for (auto _ : state) benchmark::DoNotOptimize(FileFormats::saveKoala(*m));
}
BENCHMARK(BM_SaveKoala);

}  // namespace
