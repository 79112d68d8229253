#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "core/Machine.h"
#include "cpu/CPU6502.h"
#include "cpu/Monitor.h"
#include "disk/DiskDrive.h"

namespace {

// A host directory on device 10 holding a PRG of `size` bytes, loaded by the monitor as a user types it.
struct HostLoad {
    std::filesystem::path dir;
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    CPU6502 cpu{*m};
    Monitor mon{*m, cpu};
    DiskDrive drive;

    explicit HostLoad(long long size) {
        char tmpl[] = "/tmp/vorlix-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        FILE* f = std::fopen((dir / "BIG.prg").c_str(), "wb");
        std::string chunk(1 << 20, '\x5A');
        chunk[0] = 0x01, chunk[1] = 0x08;
        for (long long done = 0; done < size; done += (long long)chunk.size()) {
            const size_t n = size_t(std::min<long long>(size - done, (long long)chunk.size()));
            std::fwrite(chunk.data(), 1, n, f);
            chunk[0] = chunk[1] = 0x5A;
        }
        std::fclose(f);
        drive.mountDirectory(dir.string());
        mon.getDrive = [this](int d) { return d == 10 ? &drive : nullptr; };
    }
    ~HostLoad() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    void load() {
        mon.clear();
        mon.print(".L\"BIG\",10");
        mon.enter();
        // The report is the last line: "$F7FF BYTES READ ..." when it worked.
        if (mon.rowText(1).compare(0, 2, "$F") != 0) throw std::runtime_error(mon.rowText(1));
    }
};

void loadHostFile(benchmark::State& state, long long size) {
    HostLoad h(size);
    for (auto _ : state) {
        try {
            h.load();
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        benchmark::DoNotOptimize(h.m->ram[0x0801]);
    }
}

// A 200 MB host file loaded at $0801: only what fits below $10000 can land.
void BM_MonitorLoad200MBHostFile(benchmark::State& state) { loadHostFile(state, 200LL << 20); }
BENCHMARK(BM_MonitorLoad200MBHostFile)->Unit(benchmark::kMillisecond);

// The reference: a host file of 64 KB, as much as memory holds.
void BM_MonitorLoad64KBHostFile(benchmark::State& state) { loadHostFile(state, 64LL << 10); }
BENCHMARK(BM_MonitorLoad64KBHostFile)->Unit(benchmark::kMillisecond);

}  // namespace
