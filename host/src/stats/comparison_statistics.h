#pragma once

// The statistics of comparing two results: plain functions over plain
// numbers, beside the general ones in statistics.h.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

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
    std::optional<double> log_standard_error;  // of log(ratio); what the one-sided tests use

    // The ratio as a change: -5 for 5 % slower.
    double change_percent() const { return (ratio - 1.0) * 100.0; }
};

RatioEstimate compare_throughputs(const ThroughputEstimate& base, const ThroughputEstimate& candidate,
                                  double confidence);

// Fewer than three runs in a file, but at least one degree of freedom for
// the run-to-run variance in both files together: a pooled two-sample t on
// the log throughputs, df = nb + nc - 2. The ratio is that of the geometric
// means. It assumes both files vary by the same relative amount from run to
// run, which lets the file with more runs lend its spread to the other.
// Empty when nb + nc < 3.
std::optional<RatioEstimate> compare_runs_pooled(std::span<const double> base,
                                                 std::span<const double> candidate, double confidence);

// The run-to-run spread of the log throughputs pooled over both files (about
// the relative standard deviation), with its degrees of freedom; empty when
// neither file has two runs.
struct RunSpread {
    double log_standard_deviation = 0.0;
    double degrees_of_freedom = 0.0;
};
std::optional<RunSpread> pooled_run_spread(std::span<const double> base, std::span<const double> candidate);

// One-sided p-values of the two questions a verdict answers: is NEW slower
// than 1 - threshold (small p_slower says yes), and is it faster than
// 1 + threshold. With --threshold 0 they are the two halves of the
// two-sided test against 1. Empty without an interval.
struct ThresholdTest {
    double p_slower = 1.0;
    double p_faster = 1.0;
    double decisive() const { return p_slower <= p_faster ? p_slower : p_faster; }
};
std::optional<ThresholdTest> threshold_test(const RatioEstimate& ratio, double threshold_percent);

// Holm-Bonferroni adjusted p-values, in the order given: sorted ascending,
// the i-th (from 0) is multiplied by m - i, made non-decreasing, capped at 1.
std::vector<double> holm_adjusted(std::span<const double> p_values);

enum class Verdict { faster, slower, no_significant_difference, inconclusive };

// Slower or faster when the adjusted p of the question the estimate leans
// towards is below (1 - confidence) / 2. With one test this is the interval
// rule of judge(): the whole interval beyond the threshold.
Verdict judge_test(const ThresholdTest& test, double adjusted_p, double confidence);

// Runs per file at which a two-sample t test at the given confidence tells a
// true relative change of effect_fraction from none with the given power,
// for a run-to-run spread of log_standard_deviation: the smallest n >= 2 with
// 2 s^2 (t(1 - a/2, 2n - 2) + t(power, 2n - 2))^2 / log(1 + effect)^2 <= n.
// Empty when it would take more than max_runs, or for no effect.
std::optional<std::size_t> runs_for_power(double log_standard_deviation, double effect_fraction,
                                          double confidence, double power = 0.8, std::size_t max_runs = 1000);

// Faster or slower only when the whole interval lies beyond the threshold:
// above 1 + threshold, or below 1 - threshold. Without an interval nothing
// is significant.
Verdict judge(const RatioEstimate& ratio, double threshold_percent);

const char* verdict_text(Verdict verdict);

}  // namespace quorlind::bench
