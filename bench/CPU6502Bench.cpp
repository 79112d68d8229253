#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/CpuActions.h"
#include "cpu/CPU6502.h"
#include "platform/Platform.h"
#include "tests/TestDataPath.h"

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
    u16 start = kStart, exit = kStart;
    long instructions = 0;
    std::string missing;  // why the program cannot run
};

const Program& loopProgram() {
    static const Program p = [] {
        Program p;
        CPU6502 cpu(*p.machine);
        u16 pc = kStart;
        for (const char* line : kProgram) {
            p.exit = pc;
            pc = u16(pc + cpu.assemble(pc, line, true));
        }
        for (cpu.pc = kStart; cpu.pc != p.exit; p.instructions++) cpu.step();
        return p;
    }();
    return p;
}

std::string hex4(u16 v) {
    char text[8];
    std::snprintf(text, sizeof text, "$%04X", v);
    return text;
}

// A BRK as the 6502 takes it, through the vector at $FFFE, so that the processor goes on after the stop.
void takeBrk(CPU6502& cpu) {
    cpu.push(u8((cpu.pc + 2) >> 8));
    cpu.push(u8(cpu.pc + 2));
    cpu.push(u8(cpu.p | CPU6502::FlagB | CPU6502::Flag5));
    cpu.p |= CPU6502::FlagI;
    cpu.pc = u16(cpu.machine.ram[0xFFFF] << 8 | cpu.machine.ram[0xFFFE]);
    cpu.stopped = false;
}

// Klaus Dormann's functional test, changed where sim65 2.19 could not run it, and run the same here: each
// ROL abs,X (which sim65 takes as two bytes long) calls a stub that does the same with LDA, ROL A, STA; the
// decimal add and subtract test (whose flags sim65 gets wrong) is jumped over; a prologue at $F000 sets the
// BRK vector, which sim65 does not load; the success trap exits. The run ends when pc reaches that trap.
const Program& dormannProgram() {
    static const Program p = [] {
        Program p;
        const TestDataFile file = findTestData("6502/6502_functional_test.bin");
        Bytes image;
        if (file.path.empty() || !Platform::readFile(file.path, image) || image.size() != 65536) {
            p.missing = file.path.empty() ? file.missing : file.path + " is not the 64 KB image";
            return p;
        }
        constexpr u16 decimalTest = 0x336D, afterDecimal = 0x3405, success = 0x3469;
        if (image[decimalTest] != 0xF8 || image[afterDecimal] != 0xAD || image[success] != 0x4C) {
            p.missing = file.path + " is not the build this benchmark knows";
            return p;
        }
        // Each change goes into the image the runs start from and into the counting run's memory.
        std::memcpy(p.machine->ram, image.data(), 65536);
        const auto counting = std::make_unique<Machine>(*p.machine);
        CPU6502 cpu(*counting), image2(*p.machine);
        auto put = [&](u16 at, const std::string& line) {
            image2.assemble(at, line, true);
            return u16(at + cpu.assemble(at, line, true));
        };
        put(decimalTest, "JMP $3405");
        put(success, "JMP $F080");
        put(put(0xF080, "LDA #$00"), "JMP $FFF9");
        u16 at = 0xF000;
        for (const char* line : {"LDA #$AB", "STA $FFFE", "LDA #$37", "STA $FFFF", "JMP $0400"}) at = put(at, line);
        p.start = 0xF000;
        p.exit = success;
        // A stub per ROL abs,X, from $F100, put in as the counting run first meets the instruction.
        u16 stub = 0xF100;
        const u8* ram = counting->ram;
        for (cpu.pc = p.start; cpu.pc != p.exit && !cpu.stopped; p.instructions++) {
            if (ram[cpu.pc] == 0x3E) {
                const std::string target = hex4(u16(ram[u16(cpu.pc + 1)] | ram[u16(cpu.pc + 2)] << 8));
                // A goes into the LDA # operand (stub + 12) and comes back without touching the flags ROL set.
                u16 to = stub;
                for (const std::string& line : {"STA " + hex4(u16(stub + 12)), "LDA " + target + ",X", std::string("ROL A"),
                                                "STA " + target + ",X", std::string("PHP"), std::string("LDA #0"),
                                                std::string("PLP"), std::string("RTS")})
                    to = put(to, line);
                put(cpu.pc, "JSR " + hex4(stub));
                stub = u16(stub + 32);
            }
            cpu.step();
            if (cpu.stopped && cpu.stopReason == "BRK") takeBrk(cpu);
        }
        if (cpu.pc != p.exit) p.missing = "the functional test stops at $" + hex4(cpu.pc).substr(1) + ": " + cpu.stopReason;
        return p;
    }();
    return p;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One step call per instruction, as the processor window's Step does.
void BM_StepLoop(benchmark::State& state) {
    const Program& p = loopProgram();
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

// The processor's run (a breakpoint on the exit) against the same bytes in sim65, taken in turns. Argument 0:
// one run call, going on after each BRK; otherwise slices of that many instructions, as the processor window
// runs them. sim65 runs as a process; the time it takes for a program that only exits is taken off.
void runVsSim65(benchmark::State& state, const Program& p) {
    if (!p.missing.empty()) {
        state.SkipWithError(p.missing.c_str());
        return;
    }
    const int slice = int(state.range(0));
    auto m = std::make_unique<Machine>();
    CPU6502 cpu(*m);
    cpu.breakpoints.insert(p.exit);

    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vorlix-cpu-bench";
    std::filesystem::create_directories(dir);
    auto image = [&](const char* name, const u8* ram, u16 start) {
        Bytes file(12 + 0xFFF0);
        const u8 header[12] = {'s', 'i', 'm', '6', '5', 2, 0, 0, 0, 0, u8(start), u8(start >> 8)};  // version 2, 6502, load $0000
        std::memcpy(file.data(), header, 12);
        std::memcpy(file.data() + 12, ram, 0xFFF0);
        Platform::writeFile((dir / name).string(), file);
        return "sim65 " + (dir / name).string();
    };
    const std::string program = image("program.bin", p.machine->ram, p.start);
    auto exitOnly = std::make_unique<Machine>();
    CPU6502(*exitOnly).assemble(kStart, "JMP $FFF9", true);
    const std::string empty = image("exit.bin", exitOnly->ram, kStart);

    double ours = 0, peer = 0, bestOurs = 1e9, bestPeer = 1e9;
    for (auto _ : state) {
        *m = *p.machine;
        cpu.reset();
        cpu.pc = p.start;
        auto t = std::chrono::steady_clock::now();
        for (;;) {
            if (slice > 0) RunSlice(cpu, slice);
            else cpu.run(p.instructions);
            if (cpu.stopped && cpu.stopReason == "BRK") takeBrk(cpu);
            else if (cpu.stopped || cpu.pc == p.exit) break;
        }
        const double run = seconds(t);
        benchmark::DoNotOptimize(cpu.a);
        if (cpu.pc != p.exit) state.SkipWithError("the run stopped before the end");
        ours += run;
        bestOurs = std::min(bestOurs, run);
        state.SetIterationTime(run);

        t = std::chrono::steady_clock::now();
        if (std::system(empty.c_str()) != 0) state.SkipWithError("sim65 failed or is missing");
        const double start = seconds(t);
        t = std::chrono::steady_clock::now();
        if (std::system(program.c_str()) != 0) state.SkipWithError("sim65 failed or is missing");
        peer += seconds(t) - start;
        bestPeer = std::min(bestPeer, seconds(t) - start);
    }
    const double n = double(state.iterations()) * double(p.instructions);
    state.counters["ours instr/s"] = n / ours;
    state.counters["sim65 instr/s"] = n / peer;
    state.counters["ratio"] = peer / ours;
    // On a busy machine the fastest turn of each says more than the mean.
    state.counters["best ratio"] = bestPeer / bestOurs;
    std::filesystem::remove_all(dir);
}

void BM_RunLoopVsSim65(benchmark::State& state) { runVsSim65(state, loopProgram()); }
BENCHMARK(BM_RunLoopVsSim65)->Arg(0)->Arg(CpuActions::frameBudget)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void BM_FunctionalTestVsSim65(benchmark::State& state) { runVsSim65(state, dormannProgram()); }
BENCHMARK(BM_FunctionalTestVsSim65)->Arg(0)->Arg(CpuActions::frameBudget)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace
