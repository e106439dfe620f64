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
// n - 1 degrees of freedom needs two runs. The relative variance s^2 / mean^2
// is taken no lower than relative_variance_floor: runs that happen to agree
// exactly still differ by at least their own measurement error. Empty
// without any run.
std::optional<ThroughputEstimate> estimate_from_runs(std::span<const double> throughputs,
                                                     double relative_variance_floor = 0.0);

// The least relative variance a run's throughput can have: the mean over the
// runs of the variance its own intervals give it (estimate_from_intervals),
// or of one operation in its total where that is larger. Runs without
// intervals count only the latter.
double run_variance_floor(std::span<const std::span<const QuorlindIntervalSample>> runs);

// Operations over time across the measured intervals, which is their rates'
// mean weighted by interval length. The standard error takes the lengths as
// reliability weights: s^2 = sum w (r - m)^2 / (V1 - V2 / V1) and
// se^2 = s^2 V2 / V1^2, with V1 = sum w and V2 = sum w^2, and V1^2 / V2 - 1
// degrees of freedom. It treats intervals as independent, which drift makes
// them not, and says nothing of how a second run would differ. Needs two
// intervals for the error; empty without any, or without any work in them.
std::optional<ThroughputEstimate> estimate_from_intervals(std::span<const QuorlindIntervalSample> samples);

// candidate / base with its confidence interval, by the delta method on the
// logarithm: se = sqrt((se_b / m_b)^2 + (se_c / m_c)^2) with the smaller
// side's degrees of freedom (Hsu's conservative choice for Welch's
// statistic), interval ratio * exp(+-t se). The t statistic is
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

// How much more than the other file's a single run's spread may be before
// the test below stops holding its level: machines and settings differ by
// about this much.
inline constexpr double single_run_spread_allowance = 3.0;

// One file holds a single run, the other at least two: a t test on the log
// throughputs with the other file's spread (at least the floor, a relative
// variance) and its n - 1 degrees of freedom. The single run's variance is
// allowed to be single_run_spread_allowance^2 times as large, which keeps
// the level for spreads that differ up to that ratio either way. The ratio
// is that of the geometric means. Empty unless exactly one file has one run
// and the other two or more.
std::optional<RatioEstimate> compare_runs_pooled(std::span<const double> base,
                                                 std::span<const double> candidate, double confidence,
                                                 double relative_variance_floor = 0.0);

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
    // Of "NEW is not slower by more than the threshold": below
    // (1 - confidence) / 2 exactly when the interval's lower end lies above
    // 1 - threshold. Computed from its own tail, not as 1 - p_slower.
    double p_not_slower = 1.0;
    double decisive() const { return p_slower <= p_faster ? p_slower : p_faster; }
};
std::optional<ThresholdTest> threshold_test(const RatioEstimate& ratio, double threshold_percent);

// Holm-Bonferroni adjusted p-values, in the order given: sorted ascending,
// the i-th (from 0) is multiplied by m - i, made non-decreasing, capped at 1.
std::vector<double> holm_adjusted(std::span<const double> p_values);

enum class Verdict { faster, slower, same_or_faster, inconclusive };

// Slower or faster when the Holm-adjusted p of the question the estimate
// leans towards is below (1 - confidence) / 2 (with one test: the whole
// interval beyond the threshold). Otherwise same or faster when a slowdown
// beyond the threshold is excluded: p_not_slower below (1 - confidence) / 2,
// unadjusted, since a pass needs every test to pass, which holds its level
// without adjustment. Otherwise inconclusive.
Verdict judge_test(const ThresholdTest& test, double adjusted_p, double confidence);

// Runs per file at which a true slowdown of detect_fraction comes out
// "slower" with the given power, under the test compare makes with that many
// runs in both files (Welch's statistic with n - 1 degrees of freedom)
// against the threshold, at Holm's first step over the given number of
// tests: the smallest n >= 2 with
// P(T(n - 1, delta) < -t(1 - a / (2 tests), n - 1)) >= power,
// delta = (log(1 - detect) - log(1 - threshold)) / (s sqrt(2 / n)), T
// noncentral t, a = 1 - confidence. Empty when it would take more than
// max_runs, or when detect does not exceed the threshold.
std::optional<std::size_t> runs_for_power(double log_standard_deviation, double detect_fraction,
                                          double threshold_fraction, double confidence, std::size_t tests = 1,
                                          double power = 0.8, std::size_t max_runs = 1000);

const char* verdict_text(Verdict verdict);

}  // namespace quorlind::bench
