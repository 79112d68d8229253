#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "cpu/Assembler.h"

namespace {

constexpr int kLines = 10000;

// The same 10,000-line program in three dialects: ours, ca65's and acme's.
enum Dialect { Ours, Ca65, Acme };

std::string generate(Dialect d) {
    const std::string colon = d == Ca65 ? ":" : "";
    const std::string byteDir = d == Ours ? ".BYTE" : d == Ca65 ? ".byte" : "!byte";
    const std::string wordDir = d == Ours ? ".WORD" : d == Ca65 ? ".word" : "!word";
    std::string s = d == Ca65 ? ".org $1000\n" : "*=$1000\n";
    for (int i = 0; i < kLines - 2; ++i) {
        std::string back = "l";
        back += std::to_string(i - i % 10);
        switch (i % 10) {
        case 0: s += back + colon + " LDA #$" + std::to_string(i % 90 + 10) + "\n"; break;
        case 1: s += "\tSTA $0400,X\n"; break;
        case 2: s += "\tLDA table,Y ; later\n"; break;
        case 3: s += "\tBNE " + back + "\n"; break;
        case 4: s += "\tINX\n"; break;
        case 5: s += "\tSTA $FB\n"; break;
        case 6: s += "\tLDA ($FB),Y\n"; break;
        case 7: s += "\tJSR " + back + "\n"; break;
        case 8: s += "\t" + byteDir + " 1,2,3,<" + back + ",>" + back + "\n"; break;
        case 9: s += "\t" + wordDir + " *+2, " + back + "\n"; break;
        }
    }
    return s + "table" + colon + " " + byteDir + " 0\n";
}

// Our bytes of the program, to check that a peer's output is the same program.
Bytes oursBytes() {
    auto m = std::make_unique<Machine>();
    Assembler as(*m);
    as.assemble(generate(Ours));
    return Bytes(m->ram + 0x1000, m->ram + as.finalAddr);
}

void BM_AssembleOurs(benchmark::State& state) {
    const std::string source = generate(Ours);
    auto m = std::make_unique<Machine>();
    for (auto _ : state) {
        Assembler as(*m);
        if (!as.assemble(source)) state.SkipWithError(as.messages.front().text.c_str());
    }
    state.counters["lines/s"] = benchmark::Counter(double(kLines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AssembleOurs)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs a peer assembler as a process on the same program written to a file.
void runPeer(benchmark::State& state, Dialect d) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vorlix-asm-bench";
    std::filesystem::create_directories(dir);
    const std::string p = dir.string() + "/";
    std::ofstream(dir / "in.s") << generate(d);
    std::ofstream(dir / "flat.cfg") << "MEMORY { M: start = $1000, size = $F000, file = %O; }\n"
                                       "SEGMENTS { CODE: load = M, type = rw; }\n";
    const std::string cmd = d == Ca65 ? "ca65 -t none " + p + "in.s -o " + p + "in.o && ld65 -C " + p +
                                            "flat.cfg -o " + p + "out.bin " + p + "in.o"
                                      : "acme -f plain -o " + p + "out.bin " + p + "in.s";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("peer assembler failed or is missing");
    state.counters["lines/s"] = benchmark::Counter(double(kLines), benchmark::Counter::kIsIterationInvariantRate);
    std::ifstream out(dir / "out.bin", std::ios::binary);
    const Bytes peer{std::istreambuf_iterator<char>(out), {}};
    if (peer != oursBytes()) state.SkipWithError("peer output differs from ours");
    std::filesystem::remove_all(dir);
}
void BM_AssembleCa65Process(benchmark::State& state) { runPeer(state, Ca65); }
void BM_AssembleAcmeProcess(benchmark::State& state) { runPeer(state, Acme); }
BENCHMARK(BM_AssembleCa65Process)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AssembleAcmeProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
