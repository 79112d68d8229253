#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

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

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One step call per instruction, as the processor window's Step does.
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

// The processor's run loop (a breakpoint on the exit JMP) against the same bytes in sim65, taken in
// turns. sim65 runs as a process; the time it takes for a program that only exits is taken off.
void BM_RunLoopVsSim65(benchmark::State& state) {
    const Program& p = program();
    auto m = std::make_unique<Machine>(*p.machine);
    CPU6502 cpu(*m);
    cpu.breakpoints.insert(p.exit);

    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vorlix-cpu-bench";
    std::filesystem::create_directories(dir);
    auto image = [&](const char* name, const u8* ram) {
        Bytes file(12 + 0xFFF0);
        std::memcpy(file.data(), "sim65\2\0\0\0\0\0\2", 12);  // version 2, 6502, load $0000, start $0200
        std::memcpy(file.data() + 12, ram, 0xFFF0);
        Platform::writeFile((dir / name).string(), file);
        return "sim65 " + (dir / name).string();
    };
    const std::string loop = image("loop.bin", p.machine->ram);
    auto exitOnly = std::make_unique<Machine>(*p.machine);
    CPU6502(*exitOnly).assemble(kStart, "JMP $FFF9", true);
    const std::string empty = image("exit.bin", exitOnly->ram);

    double ours = 0, peer = 0;
    for (auto _ : state) {
        auto t = std::chrono::steady_clock::now();
        cpu.pc = kStart;
        cpu.run(p.instructions);
        benchmark::DoNotOptimize(cpu.a);
        const double run = seconds(t);
        ours += run;
        state.SetIterationTime(run);

        t = std::chrono::steady_clock::now();
        if (std::system(empty.c_str()) != 0) state.SkipWithError("sim65 failed or is missing");
        const double start = seconds(t);
        t = std::chrono::steady_clock::now();
        if (std::system(loop.c_str()) != 0) state.SkipWithError("sim65 failed or is missing");
        peer += seconds(t) - start;
    }
    const double n = double(state.iterations()) * double(p.instructions);
    state.counters["ours instr/s"] = n / ours;
    state.counters["sim65 instr/s"] = n / peer;
    state.counters["ratio"] = peer / ours;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RunLoopVsSim65)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace
