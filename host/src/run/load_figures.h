#pragma once

#include "result/run_load.h"

#include <quorlind.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorlind::bench {

// One worker thread's counters at a reading; a figure the platform does not
// count stays empty.
struct WorkerReading {
    std::optional<std::uint64_t> run_nanos;   // processor time the thread got
    std::optional<std::uint64_t> wait_nanos;  // time it was ready but not running
    std::optional<std::uint64_t> involuntary_switches;
    std::optional<int> processor;  // where it last ran
};

// What the operating system counts, read at one progress event. Counters are
// cumulative; gauges (clock, temperature) are the values at the reading.
struct LoadReading {
    std::uint32_t phase = 0;       // QUORLIND_PHASE_* of the event
    double elapsed_seconds = 0.0;  // the event's phase_elapsed_seconds
    double wall_seconds = 0.0;     // host clock, for the lengths between readings
    // Indexed by worker; empty where the thread was not found or has ended.
    std::vector<std::optional<WorkerReading>> workers;
    std::optional<std::uint64_t> machine_busy_nanos;  // all processors, everything but idle and steal
    std::optional<std::uint64_t> machine_total_nanos;
    std::optional<std::uint64_t> machine_steal_nanos;
    std::optional<std::uint64_t> process_nanos;  // this process, all its threads
    std::optional<double> clock_mhz;             // mean over the workers' processors
    std::optional<double> temperature_celsius;   // hottest package or core sensor
};

// Readings further than this from an interval boundary leave the intervals
// beside it unknown: two progress periods, so a late event on a loaded host
// still counts.
inline constexpr double alignment_tolerance_seconds = 0.2;

// The figures between two readings; an interval whose counters went
// backwards (a wrap, a reused thread id) or whose threads ended reads empty.
LoadFigures figures_between(const LoadReading& from, const LoadReading& to, std::uint32_t workers);

// Ties the measurement readings to the library's samples: each boundary
// (0, then every end_seconds) takes the reading nearest to it.
RunLoad align_readings(const std::vector<LoadReading>& readings,
                       const std::vector<QuorlindIntervalSample>& samples, std::uint32_t workers,
                       double tolerance_seconds = alignment_tolerance_seconds);

}  // namespace quorlind::bench
