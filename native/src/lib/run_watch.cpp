#include "lib/run_watch.h"

#include "lib/clock.h"

namespace quorlind {

void watch_measurement(const MeasurementPlan& plan, std::span<const WorkerCounters* const> counters,
                       const CancelFlag& cancel, const ProgressSink& progress,
                       std::vector<IntervalSample>& samples) {
    detail::watch(plan, counters, cancel, progress, samples, &now, &sleep_for);
}

namespace detail {

PassPhase classify_pass(ClockInstant t, const MeasurementPlan& plan) {
    if (t < plan.timing.warm_end) {
        return {QUORLIND_PHASE_WARMUP, plan.timing.start, plan.warmup, &WorkerCounters::warmup_ops};
    }
    return {QUORLIND_PHASE_MEASUREMENT, plan.timing.warm_end, plan.measurement,
            &WorkerCounters::measured_ops};
}

std::uint64_t sum_counter(std::span<const WorkerCounters* const> counters,
                          std::atomic<std::uint64_t> WorkerCounters::*counter) {
    std::uint64_t sum = 0;
    for (const WorkerCounters* worker : counters) {
        sum += (worker->*counter).load(std::memory_order_relaxed);
    }
    return sum;
}

ProgressEvent pass_event(ClockInstant t, const PassPhase& phase, const MeasurementPlan& plan,
                         std::uint64_t operations) {
    const double run_seconds = to_seconds(plan.warmup) + to_seconds(plan.measurement);
    const double phase_seconds = to_seconds(phase.length);
    ProgressEvent event{};
    event.phase = phase.phase;
    event.workers = plan.workers;
    event.progress = std::min(to_seconds(saturating_since(t, plan.timing.start)) / run_seconds, 1.0);
    event.phase_elapsed_seconds = std::min(to_seconds(saturating_since(t, phase.start)), phase_seconds);
    event.phase_seconds = phase_seconds;
    event.operations = operations;
    return event;
}

}  // namespace detail
}  // namespace quorlind
