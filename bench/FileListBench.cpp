#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <chrono>
#include <string>

#include "platform/FileIO.h"

namespace {

namespace fs = std::filesystem;

// One read of a directory of n files with a filter, as the file dialog makes it:
// once when the directory or filter changes and about once a second, no longer every frame.
void BM_ListDirectory(benchmark::State& state) {
    std::string tmpl = (fs::temp_directory_path() / "vorlix-bench-XXXXXX").string();
    const fs::path dir = mkdtemp(tmpl.data());
    for (int i = 0; i < state.range(0); ++i)
        std::ofstream(dir / ("picture" + std::to_string(i) + (i % 2 ? ".prg" : ".koa"))) << 'x';
    const FileIO::Filter filter{"Koala", {"koa"}};
    for (auto _ : state) benchmark::DoNotOptimize(FileIO::list(dir.string(), filter));
    fs::remove_all(dir);
}
BENCHMARK(BM_ListDirectory)->Arg(1300)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);

// The dialog's frame over an unchanged folder of n files, 60 frames a second: the listing is read once, then each
// frame only asks the folder's modification time (the read above is what it paid every second before).
void BM_DialogListingPerFrame(benchmark::State& state) {
    std::string tmpl = (fs::temp_directory_path() / "vorlix-bench-XXXXXX").string();
    const fs::path dir = mkdtemp(tmpl.data());
    for (int i = 0; i < state.range(0); ++i)
        std::ofstream(dir / ("picture" + std::to_string(i) + (i % 2 ? ".prg" : ".koa"))) << 'x';
    fs::last_write_time(dir, fs::file_time_type::clock::now() - std::chrono::hours(1));
    const FileIO::Filter filter{"Koala", {"koa"}};
    FileIO::ListingCache cache;
    double now = 0;
    for (auto _ : state) benchmark::DoNotOptimize(FileIO::cachedList(cache, dir.string(), filter, 1, now += 1.0 / 60));
    state.counters["reads"] = cache.reads;
    fs::remove_all(dir);
}
BENCHMARK(BM_DialogListingPerFrame)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
