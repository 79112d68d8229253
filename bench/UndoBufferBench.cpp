#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "core/Machine.h"
#include "core/UndoBuffer.h"

namespace {

// Whole-memory step plus its undo, on a full history so the oldest is dropped each time.
void BM_UndoWholeMemoryStepAndUndo(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    m->reset();
    UndoBuffer u(*m);
    for (size_t i = 0; i < UndoBuffer::maxSteps; ++i) u.TakeUndo(UndoBuffer::KindAll, "fill");
    for (auto _ : state) {
        u.TakeUndo(UndoBuffer::KindAll, "load image");
        u.TakeUndo(UndoBuffer::KindAll, "load image");
        u.MakeUndo();
        benchmark::DoNotOptimize(m->ram[0]);
    }
}
BENCHMARK(BM_UndoWholeMemoryStepAndUndo)->Unit(benchmark::kMicrosecond);

// The same amount of copying done by hand, for comparison: step, step, and undo's snapshot plus restore.
void BM_PlainCopy64K(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    auto a = std::make_unique<u8[]>(65536);
    for (auto _ : state) {
        std::memcpy(a.get(), m->ram, 65536);
        benchmark::DoNotOptimize(a.get());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainCopy64K)->Unit(benchmark::kMicrosecond);

}  // namespace
