#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "disk/DiskDrive.h"

namespace {

// 144 small files: a full directory, 200 data bytes each.
std::vector<std::vector<uint8_t>> smallFiles() {
    std::vector<std::vector<uint8_t>> files(144);
    for (size_t f = 0; f < files.size(); ++f) {
        files[f] = {0x00, 0x10};
        for (int i = 0; i < 200; ++i) files[f].push_back(uint8_t(f * 31 + i));
    }
    return files;
}

// A blank image filled with the files through a drive, then every file read back.
void BM_DiskFillAndReadBack(benchmark::State& state) {
    const auto files = smallFiles();
    char path[] = "/tmp/vorlix-bench-XXXXXX";
    const int fd = mkstemp(path);
    const std::vector<uint8_t> blank = DiskDrive::blankD64("bench", "01");
    std::vector<uint8_t> back;
    for (auto _ : state) {
        FILE* f = std::fopen(path, "wb");
        std::fwrite(blank.data(), 1, blank.size(), f);
        std::fclose(f);
        DiskDrive drive;
        drive.mountD64(path);
        for (size_t i = 0; i < files.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "FILE%zu", i);
            drive.writeFile(name, files[i]);
        }
        for (int i = 0; i < int(files.size()); ++i) {
            drive.readFile(i, back);
            benchmark::DoNotOptimize(back.data());
        }
        if (drive.list().size() != files.size()) state.SkipWithError("not every file was saved");
    }
    close(fd);
    unlink(path);
    state.SetBytesProcessed(int64_t(state.iterations()) * 144 * 202 * 2);
}
BENCHMARK(BM_DiskFillAndReadBack)->Unit(benchmark::kMillisecond);

// The reference: the same bytes copied into memory and back.
void BM_DiskSameBytesInMemory(benchmark::State& state) {
    const auto files = smallFiles();
    std::vector<std::vector<uint8_t>> stored(files.size());
    std::vector<uint8_t> back;
    for (auto _ : state) {
        for (size_t i = 0; i < files.size(); ++i) stored[i] = files[i];
        for (size_t i = 0; i < files.size(); ++i) {
            back = stored[i];
            benchmark::DoNotOptimize(back.data());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 144 * 202 * 2);
}
BENCHMARK(BM_DiskSameBytesInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
