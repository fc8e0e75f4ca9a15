// Micro-benchmarks (Google Benchmark) of the work done per recorded block,
// analyse_block, and per 10 ms tick, meter_tick in each display setting.
// Wall-clock figures for orientation; the targets are checked as instruction
// counts by scripts/bench-instructions.
#include <benchmark/benchmark.h>

#include "audio/analysis.h"
#include "bench/bench_input.h"
#include "meter/meter.h"

namespace {

void bench_analyse_block(benchmark::State& state) {
    WaveHeader* block = bench_block();
    for (auto _ : state) {
        benchmark::DoNotOptimize(analyse_block(block));
    }
}
BENCHMARK(bench_analyse_block);

// Arguments: sixteen (0/1), peak (0/1).
void bench_meter_tick(benchmark::State& state) {
    bench_meter_setup(state.range(0) != 0, state.range(1) != 0);
    uint32_t n = 0;
    for (auto _ : state) {
        bench_vary_spectrum(n++);
        meter_tick();
    }
}
BENCHMARK(bench_meter_tick)->ArgNames({"sixteen", "peak"})->ArgsProduct({{0, 1}, {0, 1}});

}  // namespace

BENCHMARK_MAIN();
