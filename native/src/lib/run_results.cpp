#include "lib/run_results.h"

#include <algorithm>
#include <cmath>

namespace quorlind {

void SampleCutter::step(ClockInstant t, const Timing& timing, std::uint64_t operations,
                        std::vector<IntervalSample>& samples) {
    const double x = to_seconds(saturating_since(t, timing.warm_end));
    if (x - last_sample_seconds_ < sample_interval_seconds || t >= timing.end) {
        return;
    }
    const double duration = x - last_sample_seconds_;
    const std::uint64_t interval_operations =
        operations >= last_sample_operations_ ? operations - last_sample_operations_ : 0;
    samples.push_back(
        {x, duration, interval_operations, static_cast<double>(interval_operations) / duration});
    last_sample_seconds_ = x;
    last_sample_operations_ = operations;
}

RunTotals sum_counters(std::span<const WorkerCounters* const> counters) {
    RunTotals totals;
    std::uint64_t longest_nanos = 0;
    for (const WorkerCounters* worker : counters) {
        totals.total_operations += worker->measured_ops.load();
        longest_nanos = std::max(longest_nanos, worker->active_nanos.load());
        totals.checksum ^= worker->checksum.load();
    }
    totals.measured_seconds = static_cast<double>(longest_nanos) / 1e9;
    return totals;
}

void close_samples(std::vector<IntervalSample>& samples, double measured_seconds,
                   std::uint64_t total_operations) {
    while (!samples.empty() && samples.back().end_seconds >= measured_seconds) {
        samples.pop_back();
    }

    const double closed_until = samples.empty() ? 0.0 : samples.back().end_seconds;
    std::uint64_t sampled_operations = 0;
    for (const IntervalSample& sample : samples) {
        sampled_operations += sample.operations;
    }

    const double duration = measured_seconds - closed_until;
    if (!(duration > 0.0)) {
        return;
    }
    const std::uint64_t operations =
        total_operations >= sampled_operations ? total_operations - sampled_operations : 0;
    samples.push_back({measured_seconds, duration, operations, static_cast<double>(operations) / duration});
}

void decide_verdict(RunOutcome& outcome, bool worker_failed, bool cancelled) {
    if (worker_failed) {
        outcome.status = status_failed;
        outcome.message = "a benchmark worker panicked";
        return;
    }
    if (cancelled) {
        outcome.status = status_cancelled;
        outcome.message = "cancelled";
        return;
    }
    if (outcome.total_operations == 0 || outcome.measured_seconds == 0.0) {
        outcome.status = status_failed;
        outcome.message = "measurement window was too short to complete any work";
        return;
    }

    outcome.status = status_completed;
    const double rate = static_cast<double>(outcome.total_operations) / outcome.measured_seconds;
    outcome.ops_per_second = rate;
    if (outcome.samples.size() < 2) {
        return;
    }

    // Time-weighted spread of the interval rates around the overall rate.
    double weighted_squares = 0.0;
    for (const IntervalSample& sample : outcome.samples) {
        const double deviation = sample.ops_per_second - rate;
        weighted_squares += deviation * deviation * sample.duration_seconds;
    }
    const double variation = std::sqrt(weighted_squares / outcome.measured_seconds) / rate * 100.0;
    outcome.variation_percent = variation;
    outcome.unstable = variation > unstable_limit_percent;
}

}  // namespace quorlind
