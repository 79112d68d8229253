// The layout file's check at start, on the largest file it reads: 1 MB, as many windows and nodes as it takes,
// the rest comments. The GUI library then reads at most that much.
#include <benchmark/benchmark.h>

#include <string>

#include "app/LayoutFile.h"

namespace {

std::string largestLayout() {
    std::string s;
    for (int i = 0; i < 999; ++i)
        s += "[Window][Window " + std::to_string(i) + "]\nPos=10,10\nSize=300,200\nCollapsed=0\nDockId=0x" +
             std::to_string(1000 + i % 60 * 2) + ",0\n\n";
    s += "[Docking][Data]\nDockSpace ID=0x079D3A04 Pos=0,0 Size=1400,900 Split=X\n";
    std::string parent = "079D3A04";
    for (int i = 0; i < 120; i += 2) {
        // A chain of splits 60 deep; the windows go into its leaves.
        s += "DockNode ID=0x" + std::to_string(1000 + i) + " Parent=0x" + parent + " SizeRef=10,10\n";
        s += "DockNode ID=0x" + std::to_string(1000 + i + 1) + " Parent=0x" + parent + " SizeRef=10,10\n";
        parent = std::to_string(1000 + i + 1);
        if (i + 2 < 120) s.insert(s.rfind("SizeRef=10,10\n") + 13, " Split=Y");
    }
    while (s.size() < LayoutFile::kMaxSize) s += "; a comment line of the kind the library skips, padding the file\n";
    s.resize(LayoutFile::kMaxSize);
    return s;
}

void BM_LayoutCheckLargest(benchmark::State& state) {
    const std::string text = largestLayout();
    for (auto _ : state) {
        LayoutFile::Checked c = LayoutFile::check(text, 0x079D3A04, "Screen");
        if (!c.sound) state.SkipWithError(c.fault.c_str());
        benchmark::DoNotOptimize(c.text.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_LayoutCheckLargest)->Unit(benchmark::kMillisecond);

// The reference: the same text split into lines and copied, as any reading of it does at least.
void BM_LayoutSameTextSplit(benchmark::State& state) {
    const std::string text = largestLayout();
    for (auto _ : state) {
        std::string out;
        for (size_t at = 0, end; at < text.size(); at = end + 1) {
            end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            out.append(text, at, end - at);
            out += '\n';
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_LayoutSameTextSplit)->Unit(benchmark::kMillisecond);

}  // namespace
