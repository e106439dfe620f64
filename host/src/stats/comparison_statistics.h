#pragma once

// The statistics of comparing two results: plain functions over plain
// numbers, beside the general ones in statistics.h.

#include <cstddef>
#include <optional>
#include <span>

#include <quorlind.h>

#include "stats/statistics.h"

namespace quorlind::bench {

// One file's throughput of one kind, with the uncertainty of that value
// where the data can tell it.
struct ThroughputEstimate {
    double ops_per_second = 0.0;
    std::optional<double> standard_error;
    double degrees_of_freedom = 0.0;  // of the standard error
    std::size_t runs = 0;
    std::size_t intervals = 0;
};

// The mean of the runs' throughputs; its standard error s / sqrt(n) with
// n - 1 degrees of freedom needs two runs. Empty without any run.
std::optional<ThroughputEstimate> estimate_from_runs(std::span<const double> throughputs);

// Operations over time across the measured intervals, which is their rates'
// mean weighted by interval length. The standard error takes the lengths as
// reliability weights: s^2 = sum w (r - m)^2 / (V1 - V2 / V1) and
// se^2 = s^2 V2 / V1^2, with V1 = sum w and V2 = sum w^2, and V1^2 / V2 - 1
// degrees of freedom. It treats intervals as independent, which drift makes
// them not, and says nothing of how a second run would differ. Needs two
// intervals for the error; empty without any, or without any work in them.
std::optional<ThroughputEstimate> estimate_from_intervals(std::span<const QuorlindIntervalSample> samples);

// candidate / base with its confidence interval, by the delta method on the
// logarithm: se = sqrt((se_b / m_b)^2 + (se_c / m_c)^2) with Welch-Satterthwaite
// degrees of freedom, interval ratio * exp(+-t se). Welch's t statistic is
// log(ratio) / se, so the interval excludes 1 exactly when the test's
// p-value is below 1 - confidence.
struct RatioEstimate {
    double ratio = 0.0;
    std::optional<Interval> interval;  // empty when either side has no error
    std::optional<double> t;
    std::optional<double> degrees_of_freedom;
    std::optional<double> p_value;

    // The ratio as a change: -5 for 5 % slower.
    double change_percent() const { return (ratio - 1.0) * 100.0; }
};

RatioEstimate compare_throughputs(const ThroughputEstimate& base, const ThroughputEstimate& candidate,
                                  double confidence);

enum class Verdict { faster, slower, no_significant_difference };

// Faster or slower only when the whole interval lies beyond the threshold:
// above 1 + threshold, or below 1 - threshold. Without an interval nothing
// is significant.
Verdict judge(const RatioEstimate& ratio, double threshold_percent);

const char* verdict_text(Verdict verdict);

}  // namespace quorlind::bench
