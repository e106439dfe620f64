#pragma once

#include <cstdint>
#include <span>

#include "lib/run_outcome.h"
#include "lib/time_span.h"
#include "lib/timing.h"
#include "lib/worker_counters.h"

namespace quorlind {

inline constexpr double sample_interval_seconds = 1.0;
inline constexpr double unstable_limit_percent = 10.0;

// Cuts interval samples during the measurement phase.
class SampleCutter {
public:
    // Called on every pass in the measurement phase with the pass's clock
    // reading and the measured operations of all workers read on that pass.
    // Cuts a sample once at least sample_interval_seconds have passed since
    // the last cut, unless the pass has reached the end.
    void step(ClockInstant t, const Timing& timing, std::uint64_t operations,
              std::vector<IntervalSample>& samples);

private:
    double last_sample_seconds_ = 0.0;
    std::uint64_t last_sample_operations_ = 0;
};

struct RunTotals {
    std::uint64_t total_operations = 0;
    double measured_seconds = 0.0;
    std::uint64_t checksum = 0;
};

// Final values of the joined workers.
RunTotals sum_counters(std::span<const WorkerCounters* const> counters);

// Drops samples cut past the moment the workers stopped and adds the one that
// covers the rest of the measured time.
void close_samples(std::vector<IntervalSample>& samples, double measured_seconds,
                   std::uint64_t total_operations);

// Sets status, message, throughput, variation and stability from the totals
// already in `outcome`; the first matching case wins: a failed worker, then a
// cancellation, then work measured, else a window too short.
void decide_verdict(RunOutcome& outcome, bool worker_failed, bool cancelled);

}  // namespace quorlind
