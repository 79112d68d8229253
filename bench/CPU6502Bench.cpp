#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cpu/CPU6502.h"
#include "platform/Platform.h"

namespace {

constexpr u16 kStart = 0x0200;

// A table-walking loop, 16384 passes of 256: about 29 million instructions.
// It ends in sim65's exit call; here the run stops when pc reaches that JMP.
const char* const kProgram[] = {
    "LDA #$00", "STA $FB", "LDA #$40", "STA $FC", "LDX #$00", "LDA $1000,X", "CLC", "ADC #$03", "STA $1000,X",
    "INY", "DEX", "BNE $020A", "DEC $FB", "BNE $0208", "DEC $FC", "BNE $0208", "LDA #$00", "JMP $FFF9",
};

struct Program {
    std::unique_ptr<Machine> machine = std::make_unique<Machine>();
    u16 exit = kStart;
    long instructions = 0;

    Program() {
        CPU6502 cpu(*machine);
        u16 pc = kStart;
        for (const char* line : kProgram) {
            exit = pc;
            pc = u16(pc + cpu.assemble(pc, line, true));
        }
        for (cpu.pc = kStart; cpu.pc != exit; instructions++) cpu.step();
    }
};

const Program& program() {
    static const Program p;
    return p;
}

void BM_StepLoop(benchmark::State& state) {
    const Program& p = program();
    auto m = std::make_unique<Machine>(*p.machine);
    CPU6502 cpu(*m);
    for (auto _ : state) {
        cpu.pc = kStart;
        while (cpu.pc != p.exit) cpu.step();
        benchmark::DoNotOptimize(cpu.a);
    }
    state.counters["instr/s"] =
        benchmark::Counter(double(p.instructions), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_StepLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RunLoop(benchmark::State& state) {
    const Program& p = program();
    auto m = std::make_unique<Machine>(*p.machine);
    CPU6502 cpu(*m);
    cpu.breakpoints.insert(p.exit);
    for (auto _ : state) {
        cpu.pc = kStart;
        cpu.run(p.instructions);
        benchmark::DoNotOptimize(cpu.a);
    }
    state.counters["instr/s"] =
        benchmark::Counter(double(p.instructions), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RunLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes in sim65, as a process; start-up is a few milliseconds of the run.
void BM_StepLoopSim65Process(benchmark::State& state) {
    const Program& p = program();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vorlix-cpu-bench";
    std::filesystem::create_directories(dir);
    Bytes file(12 + 0xFFF0);
    std::memcpy(file.data(), "sim65\2\0\0\0\0\0\2", 12);  // version 2, 6502, load $0000, start $0200
    std::memcpy(file.data() + 12, p.machine->ram, 0xFFF0);
    Platform::writeFile((dir / "loop.bin").string(), file);
    const std::string cmd = "sim65 " + (dir / "loop.bin").string();
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("sim65 failed or is missing");
    state.counters["instr/s"] =
        benchmark::Counter(double(p.instructions), benchmark::Counter::kIsIterationInvariantRate);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_StepLoopSim65Process)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
