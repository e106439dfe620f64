#include "stats/comparison_statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quorlind::bench {
namespace {

// The interval ratio * exp(+-t se) and the t test on log(ratio), for either
// way of estimating the ratio's standard error on the log scale.
RatioEstimate with_log_interval(RatioEstimate result, double log_ratio, double standard_error, double df,
                                double confidence) {
    result.log_standard_error = standard_error;
    if (standard_error == 0.0) {
        // Every run or interval alike on both sides: the ratio is exact.
        result.interval = Interval{result.ratio, result.ratio};
        result.p_value = log_ratio == 0.0 ? 1.0 : 0.0;
        return result;
    }
    const double half_width = student_t_quantile((1.0 + confidence) / 2.0, df) * standard_error;
    result.interval = Interval{std::exp(log_ratio - half_width), std::exp(log_ratio + half_width)};
    result.t = log_ratio / standard_error;
    result.degrees_of_freedom = df;
    result.p_value = student_t_two_sided_p(*result.t, df);
    return result;
}

}  // namespace

std::optional<ThroughputEstimate> estimate_from_runs(std::span<const double> throughputs,
                                                     double relative_variance_floor) {
    const auto centre = mean(throughputs);
    if (!centre) {
        return std::nullopt;
    }
    ThroughputEstimate estimate;
    estimate.ops_per_second = *centre;
    estimate.runs = throughputs.size();
    if (throughputs.size() >= 2 && *centre > 0.0) {
        // Relative to the mean before squaring, so that tiny rates cannot
        // underflow the variance to zero.
        std::vector<double> relative;
        for (const double value : throughputs) {
            relative.push_back(value / *centre);
        }
        const double deviation = *sample_standard_deviation(relative);
        const double variance = std::max(deviation * deviation, relative_variance_floor);
        const double n = static_cast<double>(throughputs.size());
        estimate.standard_error = *centre * std::sqrt(variance / n);
        estimate.degrees_of_freedom = n - 1.0;
    }
    return estimate;
}

double run_variance_floor(std::span<const std::span<const QuorlindIntervalSample>> runs) {
    double sum = 0.0;
    for (const auto samples : runs) {
        double floor = 0.0;
        double operations = 0.0;
        for (const auto& sample : samples) {
            operations += static_cast<double>(sample.operations);
        }
        if (operations > 0.0) {
            floor = 1.0 / (operations * operations);
        }
        if (const auto within = estimate_from_intervals(samples); within && within->standard_error) {
            const double relative = *within->standard_error / within->ops_per_second;
            floor = std::max(floor, relative * relative);
        }
        sum += floor;
    }
    return runs.empty() ? 0.0 : sum / static_cast<double>(runs.size());
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
    // The smaller file's degrees of freedom (Hsu), not Welch-Satterthwaite's
    // estimate: that leans on the sampled spreads, and two noisy runs that
    // happen to agree against five quiet ones called "slower" 6 % of the time
    // where 2.5 % was promised. This holds whatever the spreads' ratio.
    const double df = std::min(base.degrees_of_freedom, candidate.degrees_of_freedom);
    return with_log_interval(result, std::log(result.ratio), std::sqrt(variance_base + variance_candidate),
                             df, confidence);
}

namespace {

struct LogSummary {
    double mean = 0.0;
    double squares = 0.0;  // sum of squared deviations from the mean
};

LogSummary log_summary(std::span<const double> values) {
    LogSummary summary;
    for (const double value : values) {
        summary.mean += std::log(value);
    }
    summary.mean /= static_cast<double>(values.size());
    for (const double value : values) {
        const double deviation = std::log(value) - summary.mean;
        summary.squares += deviation * deviation;
    }
    return summary;
}

// Student's t distribution function, from the two-sided p.
double student_t_cdf(double t, double degrees_of_freedom) {
    const double tail = student_t_two_sided_p(t, degrees_of_freedom) / 2.0;
    return t < 0.0 ? tail : 1.0 - tail;
}

}  // namespace

std::optional<RunSpread> pooled_run_spread(std::span<const double> base, std::span<const double> candidate) {
    double squares = 0.0;
    double df = 0.0;
    for (const auto values : {base, candidate}) {
        if (values.size() >= 2) {
            squares += log_summary(values).squares;
            df += static_cast<double>(values.size()) - 1.0;
        }
    }
    if (df < 1.0) {
        return std::nullopt;
    }
    return RunSpread{std::sqrt(squares / df), df};
}

std::optional<RatioEstimate> compare_runs_pooled(std::span<const double> base,
                                                 std::span<const double> candidate, double confidence,
                                                 double relative_variance_floor) {
    const bool single_base = base.size() == 1 && candidate.size() >= 2;
    const bool single_candidate = candidate.size() == 1 && base.size() >= 2;
    if (!single_base && !single_candidate) {
        return std::nullopt;
    }
    const LogSummary b = log_summary(base);
    const LogSummary c = log_summary(candidate);
    const double nb = static_cast<double>(base.size());
    const double nc = static_cast<double>(candidate.size());
    const double df = nb + nc - 2.0;
    const double variance = std::max((b.squares + c.squares) / df, relative_variance_floor);
    const double allowance = single_run_spread_allowance * single_run_spread_allowance;
    const double standard_error =
        std::sqrt(variance * (single_base ? allowance / nb + 1.0 / nc : 1.0 / nb + allowance / nc));
    const double log_ratio = c.mean - b.mean;
    RatioEstimate result;
    result.ratio = std::exp(log_ratio);
    return with_log_interval(result, log_ratio, standard_error, df, confidence);
}

std::optional<ThresholdTest> threshold_test(const RatioEstimate& ratio, double threshold_percent) {
    if (!ratio.interval || !ratio.log_standard_error) {
        return std::nullopt;
    }
    // (100 -+ p) / 100 rather than 1 -+ p / 100: for whole percentages this
    // is the nearest double to the bound, so 0.98 means 2 % exactly.
    const double log_ratio = std::log(ratio.ratio);
    const double slower_bound = std::log((100.0 - threshold_percent) / 100.0);
    const double faster_bound = std::log((100.0 + threshold_percent) / 100.0);
    ThresholdTest test;
    const double se = *ratio.log_standard_error;
    if (se == 0.0 || !ratio.degrees_of_freedom) {
        test.p_slower = log_ratio < slower_bound ? 0.0 : 1.0;
        test.p_faster = log_ratio > faster_bound ? 0.0 : 1.0;
        test.p_not_slower = log_ratio > slower_bound ? 0.0 : 1.0;
        return test;
    }
    const double df = *ratio.degrees_of_freedom;
    test.p_slower = student_t_cdf((log_ratio - slower_bound) / se, df);
    test.p_faster = student_t_cdf((faster_bound - log_ratio) / se, df);
    test.p_not_slower = student_t_cdf((slower_bound - log_ratio) / se, df);
    return test;
}

std::vector<double> holm_adjusted(std::span<const double> p_values) {
    const std::size_t m = p_values.size();
    std::vector<std::size_t> order(m);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return p_values[a] < p_values[b]; });
    std::vector<double> adjusted(m, 1.0);
    double running = 0.0;
    for (std::size_t rank = 0; rank < m; ++rank) {
        const double scaled = std::min(1.0, static_cast<double>(m - rank) * p_values[order[rank]]);
        running = std::max(running, scaled);
        adjusted[order[rank]] = running;
    }
    return adjusted;
}

Verdict judge_test(const ThresholdTest& test, double adjusted_p, double confidence) {
    const double level = (1.0 - confidence) / 2.0;
    if (adjusted_p < level) {
        return test.p_slower <= test.p_faster ? Verdict::slower : Verdict::faster;
    }
    return test.p_not_slower < level ? Verdict::same_or_faster : Verdict::inconclusive;
}

std::optional<std::size_t> runs_for_power(double log_standard_deviation, double detect_fraction,
                                          double threshold_fraction, double confidence, std::size_t tests,
                                          double power, std::size_t max_runs) {
    const double distance = std::log(1.0 - threshold_fraction) - std::log(1.0 - detect_fraction);
    if (!(distance > 0.0) || !std::isfinite(distance) || tests == 0) {
        return std::nullopt;
    }
    if (log_standard_deviation == 0.0) {
        return 2;  // runs that never vary show any change
    }
    if (!std::isfinite(distance / log_standard_deviation)) {
        return std::nullopt;
    }
    const double level = (1.0 - confidence) / (2.0 * static_cast<double>(tests));
    const auto power_at = [&](std::size_t n) {
        const double df = static_cast<double>(n) - 1.0;
        const double delta = distance / (log_standard_deviation * std::sqrt(2.0 / static_cast<double>(n)));
        return noncentral_t_upper_tail(student_t_quantile(1.0 - level, df), df, delta);
    };
    // Power grows with n: bisect between 2 and the first power of two that is enough.
    std::size_t low = 1;
    std::size_t high = 2;
    while (power_at(high) < power) {
        if (high >= max_runs) {
            return std::nullopt;
        }
        low = high;
        high = std::min(2 * high, max_runs);
    }
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        (power_at(middle) < power ? low : high) = middle;
    }
    return high;
}

const char* verdict_text(Verdict verdict) {
    switch (verdict) {
        case Verdict::faster:
            return "faster";
        case Verdict::slower:
            return "slower";
        case Verdict::same_or_faster:
            return "same or faster";
        case Verdict::inconclusive:
            break;
    }
    return "inconclusive";
}

}  // namespace quorlind::bench
