#include "stats/comparison_statistics.h"

#include <cmath>

namespace quorlind::bench {
namespace {

// Welch-Satterthwaite: the degrees of freedom of a sum of two variances.
double combined_degrees_of_freedom(double variance_a, double df_a, double variance_b, double df_b) {
    const double sum = variance_a + variance_b;
    const double spread = variance_a * variance_a / df_a + variance_b * variance_b / df_b;
    return sum * sum / spread;
}

}  // namespace

std::optional<ThroughputEstimate> estimate_from_runs(std::span<const double> throughputs) {
    const auto centre = mean(throughputs);
    if (!centre) {
        return std::nullopt;
    }
    ThroughputEstimate estimate;
    estimate.ops_per_second = *centre;
    estimate.runs = throughputs.size();
    if (const auto deviation = sample_standard_deviation(throughputs)) {
        const double n = static_cast<double>(throughputs.size());
        estimate.standard_error = *deviation / std::sqrt(n);
        estimate.degrees_of_freedom = n - 1.0;
    }
    return estimate;
}

std::optional<ThroughputEstimate> estimate_from_intervals(std::span<const QuorlindIntervalSample> samples) {
    double total_time = 0.0;
    double squared_time = 0.0;
    double operations = 0.0;
    for (const auto& sample : samples) {
        total_time += sample.duration_seconds;
        squared_time += sample.duration_seconds * sample.duration_seconds;
        operations += static_cast<double>(sample.operations);
    }
    // Hand-edited intervals can hold no work, or vanishing lengths whose rates overflow.
    if (samples.empty() || !(total_time > 0.0) || !(operations / total_time > 0.0) ||
        !std::isfinite(operations / total_time)) {
        return std::nullopt;
    }
    ThroughputEstimate estimate;
    estimate.ops_per_second = operations / total_time;
    estimate.intervals = samples.size();
    const double reliability = total_time - squared_time / total_time;
    if (samples.size() >= 2 && reliability > 0.0) {
        double weighted_squares = 0.0;
        for (const auto& sample : samples) {
            const double rate = static_cast<double>(sample.operations) / sample.duration_seconds;
            weighted_squares +=
                sample.duration_seconds * (rate - estimate.ops_per_second) * (rate - estimate.ops_per_second);
        }
        const double variance = weighted_squares / reliability;
        const double standard_error = std::sqrt(variance * squared_time) / total_time;
        if (std::isfinite(standard_error)) {
            estimate.standard_error = standard_error;
            estimate.degrees_of_freedom = total_time * total_time / squared_time - 1.0;
        }
    }
    return estimate;
}

RatioEstimate compare_throughputs(const ThroughputEstimate& base, const ThroughputEstimate& candidate,
                                  double confidence) {
    RatioEstimate result;
    result.ratio = candidate.ops_per_second / base.ops_per_second;
    if (!base.standard_error || !candidate.standard_error || !(base.degrees_of_freedom > 0.0) ||
        !(candidate.degrees_of_freedom > 0.0)) {
        return result;
    }
    const double relative_base = *base.standard_error / base.ops_per_second;
    const double relative_candidate = *candidate.standard_error / candidate.ops_per_second;
    const double variance_base = relative_base * relative_base;
    const double variance_candidate = relative_candidate * relative_candidate;
    const double log_ratio = std::log(result.ratio);
    const double standard_error = std::sqrt(variance_base + variance_candidate);
    if (standard_error == 0.0) {
        // Every run or interval alike on both sides: the ratio is exact.
        result.interval = Interval{result.ratio, result.ratio};
        result.p_value = log_ratio == 0.0 ? 1.0 : 0.0;
        return result;
    }
    const double df = combined_degrees_of_freedom(variance_base, base.degrees_of_freedom, variance_candidate,
                                                  candidate.degrees_of_freedom);
    const double half_width = student_t_quantile((1.0 + confidence) / 2.0, df) * standard_error;
    result.interval = Interval{std::exp(log_ratio - half_width), std::exp(log_ratio + half_width)};
    result.t = log_ratio / standard_error;
    result.degrees_of_freedom = df;
    result.p_value = student_t_two_sided_p(*result.t, df);
    return result;
}

Verdict judge(const RatioEstimate& ratio, double threshold_percent) {
    if (!ratio.interval) {
        return Verdict::no_significant_difference;
    }
    // (100 -+ p) / 100 rather than 1 -+ p / 100: for whole percentages this
    // is the nearest double to the bound, so 0.98 means 2 % exactly.
    if (ratio.interval->high < (100.0 - threshold_percent) / 100.0) {
        return Verdict::slower;
    }
    if (ratio.interval->low > (100.0 + threshold_percent) / 100.0) {
        return Verdict::faster;
    }
    return Verdict::no_significant_difference;
}

const char* verdict_text(Verdict verdict) {
    switch (verdict) {
        case Verdict::faster:
            return "faster";
        case Verdict::slower:
            return "slower";
        case Verdict::no_significant_difference:
            break;
    }
    return "no significant difference";
}

}  // namespace quorlind::bench
