#include "lib/measurement_loop.h"

#include <algorithm>
#include <optional>

#include "lib/clock.h"
#include "lib/run_summary.h"

namespace quorlind {

namespace {

struct PhaseView {
    std::uint32_t phase;
    ClockInstant start;
    TimeSpan length;
    std::atomic<std::uint64_t> WorkerCounters::*counter;
};

PhaseView classify(ClockInstant t, const MeasurementPlan& plan) {
    if (t < plan.timing.warm_end)
        return {QUORLIND_PHASE_WARMUP, plan.timing.start, plan.warmup, &WorkerCounters::warmup_ops};
    return {QUORLIND_PHASE_MEASUREMENT, plan.timing.warm_end, plan.measurement, &WorkerCounters::measured_ops};
}

std::uint64_t sum_counter(std::span<const WorkerCounters* const> counters,
                          std::atomic<std::uint64_t> WorkerCounters::*counter) {
    std::uint64_t sum = 0;
    for (const WorkerCounters* worker : counters)
        sum += (worker->*counter).load(std::memory_order_relaxed);
    return sum;
}

}  // namespace

void watch_measurement(const MeasurementPlan& plan, std::span<const WorkerCounters* const> counters,
                       const CancelFlag& cancel, const ProgressSink& progress,
                       std::vector<IntervalSample>& samples) {
    const double run_seconds = to_seconds(plan.warmup) + to_seconds(plan.measurement);
    std::optional<std::uint32_t> last_event_phase;
    ClockInstant last_event_time{};
    SampleCutter cutter;

    for (;;) {
        const ClockInstant t = now();
        const PhaseView view = classify(t, plan);
        const std::uint64_t operations = sum_counter(counters, view.counter);

        if (view.phase == QUORLIND_PHASE_MEASUREMENT)
            cutter.step(t, plan.timing, operations, samples);

        if (last_event_phase != view.phase || saturating_since(t, last_event_time) >= EVENT_INTERVAL) {
            const double phase_seconds = to_seconds(view.length);
            ProgressEvent event{};
            event.phase = view.phase;
            event.workers = plan.workers;
            event.progress = std::min(to_seconds(saturating_since(t, plan.timing.start)) / run_seconds, 1.0);
            event.phase_elapsed_seconds = std::min(to_seconds(saturating_since(t, view.start)), phase_seconds);
            event.phase_seconds = phase_seconds;
            event.operations = operations;
            if (progress)
                progress(event);
            last_event_time = t;
            last_event_phase = view.phase;
        }

        if (cancel.is_requested() || t >= plan.timing.end)
            return;

        // Shortened before the end, so the last pass falls on or just after it.
        sleep_for(std::min(saturating_since(plan.timing.end, now()), POLL_INTERVAL));
    }
}

}  // namespace quorlind
