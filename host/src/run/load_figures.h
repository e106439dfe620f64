#pragma once

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

// The figures of one interval, of the warm-up or of the whole measurement.
struct LoadFigures {
    std::optional<double> worker_cpu_share;     // 0..1
    std::optional<double> runqueue_wait_share;  // 0..1
    std::optional<std::uint64_t> involuntary_switches;
    std::optional<double> other_processes_cpus;  // processors' worth
    std::optional<double> steal_share;           // 0..1 of all processors' time
    std::optional<double> clock_mhz;
    std::optional<double> temperature_celsius;
    std::optional<double> worker_cpu_seconds;  // all workers together
};

// Whether the machine offers a figure and, if not, why.
struct FigureAvailability {
    std::string figure;  // the JSON name, "clock_mhz"
    bool available = false;
    std::string reason;  // empty when available
};

struct RunLoad {
    std::vector<LoadFigures> intervals;  // one per library sample, in order
    LoadFigures measurement;
    LoadFigures warmup;  // empty without a warm-up
    std::vector<FigureAvailability> availability;
    double alignment_seconds = 0.0;  // the largest distance of a used reading from its boundary
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

// All workers' operations over all their processor time; for kind 2 it reads
// per processor. Empty without the processor time.
std::optional<double> operations_per_processor_second(std::uint64_t operations,
                                                      const std::optional<double>& worker_cpu_seconds);

}  // namespace quorlind::bench
