// What a user waits for after pressing Compile, beside whole runs of acme and xa on the same generated
// program: ours in-process as the program does it (read the source file, compile with the undo step
// the Compile button takes, write the program through the program's own atomic writer), the peers as
// processes of their own reading and writing files. The outputs are compared before timing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/CpuActions.h"
#include "bench/BenchApp.h"
#include "platform/Platform.h"

extern char** environ;

namespace {

enum Dialect { Ours, Acme, Xa };

// A program of `lines` lines in a dialect: loops, table reads, subroutine calls
// and data with labels both ways. Every `segment` lines (counted from the end,
// so the last part is the longest) it starts again at $1000, so 100,000 lines
// stay inside 64 KB; later parts overwrite earlier ones in every assembler.
std::string generate(Dialect d, int lines, int segment) {
    const std::string byteDir = d == Ours ? ".BYTE" : d == Acme ? "!byte" : ".byt";
    const std::string wordDir = d == Ours ? ".WORD" : d == Acme ? "!word" : ".word";
    std::string s = "*=$1000\n";
    const int body = lines - 2;
    for (int i = 0; i < body; ++i) {
        if (segment && i && (body - i) % segment == 0) s += "*=$1000\n";
        std::string back = std::to_string(i - i % 10);
        back.insert(back.begin(), 'l');
        switch (i % 10) {
        case 0: s += back + " LDA #$" + std::to_string(i % 90 + 10) + "\n"; break;
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
    return s + "table " + byteDir + " 0\n";
}

// Runs a program with its output thrown away; the wall time in ms, or -1 when it failed.
double run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    int status = -1;
    const bool started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    if (started) waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return started && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The Compile path in-process: the source read as Load... reads it, compiled as the Compile button does,
// the program (code start to final address) written through the program's own writer. The wall time in ms,
// or -1 when a step failed.
double compileInProcess(const std::string& source, const std::string& output) {
    App& app = benchApp();
    const auto start = std::chrono::steady_clock::now();
    Bytes bytes;
    if (!Platform::readFile(source, bytes)) return -1;
    app.asmSource.assign(bytes.begin(), bytes.end());
    const CpuActions::Compiled c = CpuActions::compile(app);
    if (!c.ok) return -1;
    const Bytes program(app.machine.ram + c.start, app.machine.ram + c.end);
    if (!Platform::writeFile(output, program)) return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Ours in-process, then acme and xa as processes, in turn on the same program; the reported time is ours,
// with each peer's median time and peer / ours (above 1: we are faster).
void compare(benchmark::State& state, int lines, int segment) {
    char dirTemplate[] = "/tmp/vorlix-asm-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const std::string dir = dirTemplate;
    std::ofstream(dir + "/ours.s") << generate(Ours, lines, segment);
    std::ofstream(dir + "/acme.s") << generate(Acme, lines, segment);
    std::ofstream(dir + "/xa.s") << generate(Xa, lines, segment);
    const std::vector<std::string> acme = {"acme", "-f", "plain", "-o", dir + "/acme.bin", dir + "/acme.s"};
    const std::vector<std::string> xa = {"xa", "-o", dir + "/xa.bin", dir + "/xa.s"};
    std::vector<double> oursMs, acmeMs, xaMs;
    // xa stops with its own "Out of memory error" past about 24,000 lines of this program: then its row says so.
    const bool xaRuns = run(xa) >= 0;
    const std::string xaOut = readAll(dir + "/xa.bin");
    if (compileInProcess(dir + "/ours.s", dir + "/ours.bin") < 0 || run(acme) < 0) {
        state.SkipWithError("an assembler failed or is missing");
    } else if (const std::string program = readAll(dir + "/ours.bin");
               program.empty() || program != readAll(dir + "/acme.bin") ||
               (xaRuns && (xaOut.size() < program.size() ||
                           xaOut.compare(xaOut.size() - program.size(), program.size(), program) != 0))) {
        // xa writes every part in turn where the others let a later part overwrite an earlier one: the last,
        // longest part ends its file.
        state.SkipWithError("a peer's program differs from ours");
    } else {
        for (auto _ : state) {
            oursMs.push_back(compileInProcess(dir + "/ours.s", dir + "/ours.bin"));
            acmeMs.push_back(run(acme));
            if (xaRuns) xaMs.push_back(run(xa));
            state.SetIterationTime(oursMs.back() / 1000);
        }
        const double o = median(oursMs), a = median(acmeMs), x = median(xaMs);
        state.counters["ours_ms"] = o;
        state.counters["acme_ms"] = a;
        state.counters["acme/ours"] = a / o;
        char xaText[64] = "xa cannot assemble it (out of memory)";
        if (xaRuns) {
            state.counters["xa_ms"] = x;
            state.counters["xa/ours"] = x / o;
            std::snprintf(xaText, sizeof xaText, "xa whole run %.2f ms", x);
        }
        char label[200];
        std::snprintf(label, sizeof label,
                      "%d lines: ours in-process Compile path (read, assemble, atomic write) %.2f ms | acme whole run "
                      "%.2f ms | %s",
                      lines, o, a, xaText);
        state.SetLabel(label);
    }
    std::filesystem::remove_all(dir);
}

// Past 10,000 lines the program starts again at $1000 every 10,000 lines, so it stays inside 64 KB.
void BM_Compile1kLinesOursInProcessVsAcmeXaRuns(benchmark::State& state) { compare(state, 1000, 0); }
void BM_Compile10kLinesOursInProcessVsAcmeXaRuns(benchmark::State& state) { compare(state, 10000, 0); }
void BM_Compile100kLinesOursInProcessVsAcmeXaRuns(benchmark::State& state) { compare(state, 100000, 10000); }
void BM_Compile1MLinesOursInProcessVsAcmeXaRuns(benchmark::State& state) { compare(state, 1000000, 10000); }
BENCHMARK(BM_Compile1kLinesOursInProcessVsAcmeXaRuns)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(51);
BENCHMARK(BM_Compile10kLinesOursInProcessVsAcmeXaRuns)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(31);
BENCHMARK(BM_Compile100kLinesOursInProcessVsAcmeXaRuns)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);
BENCHMARK(BM_Compile1MLinesOursInProcessVsAcmeXaRuns)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
