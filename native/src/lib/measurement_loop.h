#pragma once

#include <span>
#include <vector>

#include "lib/cancel_flag.h"
#include "lib/run_outcome.h"
#include "lib/timing.h"
#include "lib/worker_counters.h"

namespace quorlind {

inline constexpr TimeSpan POLL_INTERVAL{0, 10000000};    // longest sleep between passes
inline constexpr TimeSpan EVENT_INTERVAL{0, 100000000};  // least time between events of a phase

struct MeasurementPlan {
    Timing timing;
    TimeSpan warmup;
    TimeSpan measurement;
    std::uint32_t workers = 0;
};

// The coordinator's watch over a running run: polls the clock and the
// counters, cuts samples, sends progress, and returns at `end` or on the first
// pass that sees the cancel flag. Takes no lock the workers take and sleeps
// between passes.
void watch_measurement(const MeasurementPlan& plan, std::span<const WorkerCounters* const> counters,
                       const CancelFlag& cancel, const ProgressSink& progress,
                       std::vector<IntervalSample>& samples);

}  // namespace quorlind
