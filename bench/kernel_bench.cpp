// Nanoseconds per kernel call, per phase and per workload build, for the
// library's kernel and for the plain reference version beside it. Every
// benchmark also reports its fastest repetition ("_min"): another process can
// only slow a repetition down, so on a busy machine the fastest is the least
// disturbed, and scripts/bench.sh tabulates it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kernel/kernel.h"
#include "reference/reference_kernel.h"

namespace quorlind {
namespace {

double fastest(const std::vector<double>& repetitions) {
    return *std::min_element(repetitions.begin(), repetitions.end());
}

WorkloadState build(std::uint64_t seed) {
    Expected<WorkloadState> built = WorkloadState::generate(seed);
    if (!built) {
        std::fprintf(stderr, "workload: %s\n", built.error().c_str());
        std::exit(1);
    }
    return std::move(built).value();
}

template <class Kernel>
void time_kernel(benchmark::State& bench, Kernel kernel) {
    WorkloadState state = build(0);
    for (auto _ : bench) {
        benchmark::DoNotOptimize(kernel(state));
    }
}

void BM_RunKernel(benchmark::State& bench) {
    time_kernel(bench, [](WorkloadState& state) { return run_kernel(state); });
}
BENCHMARK(BM_RunKernel)->ComputeStatistics("min", fastest);

void BM_ReferenceRunKernel(benchmark::State& bench) {
    time_kernel(bench, [](WorkloadState& state) { return reference::run_kernel(state); });
}
BENCHMARK(BM_ReferenceRunKernel)->ComputeStatistics("min", fastest);

// Each phase is chained through its own output, as inside a kernel call, so
// the figure is the phase's latency rather than its throughput.
void BM_Premix(benchmark::State& bench) {
    std::uint64_t acc = build(0).carry;
    for (auto _ : bench) {
        acc = detail::premix(acc);
        benchmark::DoNotOptimize(acc);
    }
}
BENCHMARK(BM_Premix)->ComputeStatistics("min", fastest);

// The scans over the texts of `workers` workers in turn.
template <class Scan>
void time_scan(benchmark::State& bench, std::uint64_t workers, Scan scan) {
    std::vector<std::array<std::uint8_t, text_bytes>> texts;
    for (std::uint64_t seed = 0; seed < workers; ++seed) {
        texts.push_back(build(seed).text);
    }
    std::uint64_t acc = 0;
    std::size_t next = 0;
    for (auto _ : bench) {
        acc = scan(acc, texts[next]).acc;
        next = (next + 1) % texts.size();
        benchmark::DoNotOptimize(acc);
    }
}

const auto library_scan = [](std::uint64_t acc, std::span<const std::uint8_t> text) {
    return detail::scan_text(acc, text);
};
const auto reference_scan = [](std::uint64_t acc, std::span<const std::uint8_t> text) {
    return reference::scan_text(acc, text);
};

void BM_ScanText(benchmark::State& bench) { time_scan(bench, 1, library_scan); }
BENCHMARK(BM_ScanText)->ComputeStatistics("min", fastest);

void BM_ReferenceScanText(benchmark::State& bench) { time_scan(bench, 1, reference_scan); }
BENCHMARK(BM_ReferenceScanText)->ComputeStatistics("min", fastest);

// The text of a worker never changes, so a branch predictor can learn much
// of a branchy scan's path through it. Cycling through the texts of many
// workers shows the scans without that help.
void BM_ScanManyTexts(benchmark::State& bench) { time_scan(bench, 64, library_scan); }
BENCHMARK(BM_ScanManyTexts)->ComputeStatistics("min", fastest);

void BM_ReferenceScanManyTexts(benchmark::State& bench) { time_scan(bench, 64, reference_scan); }
BENCHMARK(BM_ReferenceScanManyTexts)->ComputeStatistics("min", fastest);

void BM_WalkTable(benchmark::State& bench) {
    WorkloadState state = build(0);
    std::uint64_t acc = state.carry;
    for (auto _ : bench) {
        acc = detail::walk_table(acc, state.table);
        benchmark::DoNotOptimize(acc);
    }
}
BENCHMARK(BM_WalkTable)->ComputeStatistics("min", fastest);

void BM_GenerateWorkload(benchmark::State& bench) {
    std::uint64_t seed = 0;
    for (auto _ : bench) {
        Expected<WorkloadState> built = WorkloadState::generate(seed++);
        benchmark::DoNotOptimize(built.value().carry);
    }
}
BENCHMARK(BM_GenerateWorkload)->ComputeStatistics("min", fastest);

}  // namespace
}  // namespace quorlind

int main(int argc, char** argv) {
    // A benchmark of a kernel that computes something else would be worthless.
    const char* difference = nullptr;
    if (!quorlind::reference::agrees_with_library(64, &difference)) {
        std::fprintf(stderr, "reference kernel disagrees with the library's: %s\n", difference);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
