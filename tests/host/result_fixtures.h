#pragma once

// Records as a run would leave them, for the tests of statistics and writers.
#include <cstdint>
#include <vector>

#include "result/run_record.h"

namespace quorlind::bench::testing {

inline QuorlindIntervalSample sample(double end, double duration, std::uint64_t operations) {
    return {end, duration, operations, duration > 0.0 ? static_cast<double>(operations) / duration : 0.0};
}

// A completed run of the given kind whose intervals add up to its summary.
inline RunRecord completed_run(std::size_t index, std::uint32_t benchmark, double ops_per_second,
                               std::vector<QuorlindIntervalSample> samples = {}) {
    RunRecord run;
    run.index = index;
    run.config = {QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, benchmark, 0, 1.0, 3.0};
    run.summary.abi_version = QUORLIND_ABI_VERSION;
    run.summary.status = QUORLIND_STATUS_COMPLETED;
    run.summary.benchmark = benchmark;
    run.summary.workers = benchmark == QUORLIND_BENCHMARK_PER_CPU ? 8 : 1;
    run.summary.ops_per_second = ops_per_second;
    run.summary.warmup_seconds = 1.0;
    run.summary.measurement_seconds = 3.0;
    if (samples.empty()) {
        const auto per_second = static_cast<std::uint64_t>(ops_per_second);
        samples = {sample(1.0, 1.0, per_second), sample(2.0, 1.0, per_second), sample(3.0, 1.0, per_second)};
    }
    for (const auto& interval : samples) {
        run.summary.total_operations += interval.operations;
    }
    run.summary.measured_seconds = samples.back().end_seconds;
    run.summary.sample_count = samples.size();
    run.summary.has_variation = samples.size() >= 2 ? 1 : 0;
    run.summary.variation_percent = 1.5;
    run.summary.checksum = 0xfedcba9876543210ull;  // above 2^63: must survive as unsigned
    run.samples = std::move(samples);
    return run;
}

// Cancelled after one interval of measurement.
inline RunRecord cancelled_run(std::size_t index, std::uint32_t benchmark, std::uint64_t operations) {
    RunRecord run = completed_run(index, benchmark, 0.0, {sample(1.0, 1.0, operations)});
    run.summary.status = QUORLIND_STATUS_CANCELLED;
    run.reason = "cancelled during measurement";
    return run;
}

inline RunRecord failed_run(std::size_t index, std::uint32_t benchmark, const char* reason) {
    RunRecord run;
    run.index = index;
    run.config = {QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, benchmark, 0, 1.0, 3.0};
    run.summary.abi_version = QUORLIND_ABI_VERSION;
    run.summary.status = QUORLIND_STATUS_FAILED;
    run.summary.benchmark = benchmark;
    run.reason = reason;
    return run;
}

inline SystemRecord test_system() {
    SystemRecord system;
    system.processor = "Test CPU 9000";
    system.logical_processors = 8;
    system.operating_system = "Linux 6.1 (x86_64)";
    system.library_version = "0.0.2";
    system.abi_version = 1;
    system.start_time_utc = parse_utc("2024-03-01T12:30:05Z");
    system.monotonic_start_seconds = 1234.5;
    system.host_name = "bench-7";
    system.topology.packages = 1;
    system.topology.physical_cores = 4;
    system.topology.smt = true;
    system.topology.numa_nodes = 1;
    system.topology.l1d = CacheLevel{std::uint64_t{48} * 1024, 4};
    system.topology.l2 = CacheLevel{std::uint64_t{1280} * 1024, 4};
    system.clock.base_mhz = 2400.0;
    system.effective_clock_before_mhz = 3900.0;
    system.effective_clock_after_mhz = 3500.0;
    system.power.governors = {"performance", "performance"};
    system.hypervisor.present = false;
    system.os = {"Debian GNU/Linux", "12 (bookworm)", "6.1.0-18-amd64 #1 SMP"};
    system.load_before = LoadAverage{0.5, 0.25, 0.125};
    system.library_build = {"GCC", "12.2.0", "Release"};
    return system;
}

inline ResultRecord test_result(std::vector<RunRecord> runs, ThreadMode threads = ThreadMode::single,
                                unsigned repeat = 1) {
    ResultRecord result;
    result.tool_version = "0.0.2";
    result.tool_build = {"GCC", "12.2.0", "Release"};
    result.threads = threads;
    result.repeat = repeat;
    result.warmup_seconds = 1.0;
    result.measurement_seconds = 3.0;
    result.system = test_system();
    result.runs = std::move(runs);
    return result;
}

// One completed run of two exact intervals, as the writers' tests compare byte for byte.
inline ResultRecord one_run_result() {
    RunRecord run = completed_run(
        0, QUORLIND_BENCHMARK_SINGLE, 1.0 / 3.0 * 3e7,
        {{0.1, 0.1, 3000000, 3e7}, {0.30000000000000004, 0.20000000000000004, 6000001, 30000004.9}});
    run.summary.measurement_seconds = 0.3;
    run.summary.variation_percent = 2.5;
    ResultRecord result = test_result({run});
    result.measurement_seconds = 0.3;
    result.notes = {"the load average is 3.00 before the run"};
    return result;
}

}  // namespace quorlind::bench::testing
