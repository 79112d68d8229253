// The build the figures come from, printed in the benchmark table's header.
#include <benchmark/benchmark.h>

namespace {

const bool g_named = [] {
    benchmark::AddCustomContext("build", VORLIX_BENCH_BUILD);
    return true;
}();

}  // namespace
