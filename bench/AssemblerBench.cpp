// Whole assembler runs, process against process: our driver (it reads a source
// file, assembles it and writes the program) beside acme and xa on the same
// generated program, each started the same way, with the outputs compared.
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

// Times our driver and the peer alternately on the same program; the reported
// time is ours, with the peer's time and peer / ours (above 1: we are faster).
void compare(benchmark::State& state, Dialect peer, int lines, int segment) {
    char dirTemplate[] = "/tmp/vorlix-asm-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const std::string dir = dirTemplate;
    std::ofstream(dir + "/ours.s") << generate(Ours, lines, segment);
    std::ofstream(dir + "/peer.s") << generate(peer, lines, segment);
    const std::vector<std::string> ours = {VORLIX_ASM_DRIVER, dir + "/ours.s", dir + "/ours.bin"};
    const std::vector<std::string> other =
        peer == Acme ? std::vector<std::string>{"acme", "-f", "plain", "-o", dir + "/peer.bin", dir + "/peer.s"}
                     : std::vector<std::string>{"xa", "-o", dir + "/peer.bin", dir + "/peer.s"};
    std::vector<double> oursMs, peerMs;
    if (run(ours) < 0 || run(other) < 0) {
        state.SkipWithError("an assembler failed or is missing");
    } else if (readAll(dir + "/ours.bin") != readAll(dir + "/peer.bin")) {
        state.SkipWithError("the peer's program differs from ours");
    } else {
        for (auto _ : state) {
            oursMs.push_back(run(ours));
            peerMs.push_back(run(other));
            state.SetIterationTime(oursMs.back() / 1000);
        }
        const double o = median(oursMs), p = median(peerMs);
        state.counters["ours_ms"] = o;
        state.counters[peer == Acme ? "acme_ms" : "xa_ms"] = p;
        state.counters["ratio"] = p / o;
        char label[80];
        std::snprintf(label, sizeof label, "medians: ours %.2f ms, %s %.2f ms", o, peer == Acme ? "acme" : "xa", p);
        state.SetLabel(label);
    }
    std::filesystem::remove_all(dir);
}

void BM_Assemble100kLinesOursVsAcme(benchmark::State& state) { compare(state, Acme, 100000, 10000); }
void BM_Assemble10kLinesOursVsXa(benchmark::State& state) { compare(state, Xa, 10000, 0); }
void BM_Assemble10kLinesOursVsAcme(benchmark::State& state) { compare(state, Acme, 10000, 0); }
BENCHMARK(BM_Assemble100kLinesOursVsAcme)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);
BENCHMARK(BM_Assemble10kLinesOursVsXa)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(31);
BENCHMARK(BM_Assemble10kLinesOursVsAcme)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(31);

}  // namespace
