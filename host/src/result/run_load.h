#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorlind::bench {

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

}  // namespace quorlind::bench
