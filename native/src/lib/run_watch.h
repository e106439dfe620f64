#pragma once

#include <algorithm>
#include <atomic>
#include <optional>
#include <span>
#include <vector>

#include "lib/cancel_flag.h"
#include "lib/run_outcome.h"
#include "lib/run_results.h"
#include "lib/timing.h"
#include "lib/worker_counters.h"

namespace quorlind {

inline constexpr TimeSpan poll_interval{0, 10000000};    // longest sleep between passes
inline constexpr TimeSpan event_interval{0, 100000000};  // least time between events of a phase

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

namespace detail {

// What a pass's clock reading says about the run: its phase, where and how
// long that phase is, and which counter measures it.
struct PassPhase {
    std::uint32_t phase;
    ClockInstant start;
    TimeSpan length;
    std::atomic<std::uint64_t> WorkerCounters::*counter;
};

PassPhase classify_pass(ClockInstant t, const MeasurementPlan& plan);

// One counter summed over the workers in index order, wrapping.
std::uint64_t sum_counter(std::span<const WorkerCounters* const> counters,
                          std::atomic<std::uint64_t> WorkerCounters::*counter);

// The event of a pass at `t`; progress and the phase's elapsed time are
// clamped, so a pass that sees `end` late reports neither past its limit.
ProgressEvent pass_event(ClockInstant t, const PassPhase& phase, const MeasurementPlan& plan,
                         std::uint64_t operations);

// The watch loop, with the clock and the sleep as parameters so that tests
// can script time. Production passes now() and sleep_for().
template <class Clock, class Sleep>
void watch(const MeasurementPlan& plan, std::span<const WorkerCounters* const> counters,
           const CancelFlag& cancel, const ProgressSink& progress, std::vector<IntervalSample>& samples,
           Clock&& clock, Sleep&& sleep) {
    std::optional<std::uint32_t> last_event_phase;
    ClockInstant last_event_time{};
    SampleCutter cutter;

    for (;;) {
        const ClockInstant t = clock();
        const PassPhase view = classify_pass(t, plan);
        const std::uint64_t operations = sum_counter(counters, view.counter);

        if (view.phase == QUORLIND_PHASE_MEASUREMENT) {
            cutter.step(t, plan.timing, operations, samples);
        }

        if (last_event_phase != view.phase || saturating_since(t, last_event_time) >= event_interval) {
            if (progress) {
                progress(pass_event(t, view, plan, operations));
            }
            last_event_time = t;
            last_event_phase = view.phase;
        }

        if (cancel.is_requested() || t >= plan.timing.end) {
            return;
        }

        // Shortened before the end, so the last pass falls on or just after it.
        sleep(std::min(saturating_since(plan.timing.end, clock()), poll_interval));
    }
}

}  // namespace detail
}  // namespace quorlind
