#include "stats/comparison_statistics.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace quorlind::bench {
namespace {

QuorlindIntervalSample interval(double seconds, std::uint64_t operations) {
    return {seconds, seconds, operations, static_cast<double>(operations) / seconds};
}

// What compare would call the ratio with one test.
Verdict verdict_of(const RatioEstimate& ratio, double threshold_percent) {
    const auto test = threshold_test(ratio, threshold_percent);
    return test ? judge_test(*test, test->decisive(), 0.95) : Verdict::inconclusive;
}

TEST(ComparisonStatistics, RunsGiveTheMeanAndItsStandardError) {
    const std::vector<double> runs{98.0, 100.0, 102.0};
    const auto estimate = estimate_from_runs(runs);
    ASSERT_TRUE(estimate);
    EXPECT_EQ(estimate->ops_per_second, 100.0);
    EXPECT_DOUBLE_EQ(*estimate->standard_error, 2.0 / std::sqrt(3.0));
    EXPECT_EQ(estimate->degrees_of_freedom, 2.0);
    EXPECT_EQ(estimate->runs, 3u);

    const std::vector<double> one{50.0};
    EXPECT_FALSE(estimate_from_runs(one)->standard_error);
    EXPECT_FALSE(estimate_from_runs({}));

    // Runs that agree exactly still carry the floor; tiny rates keep their spread.
    const std::vector<double> same{100.0, 100.0, 100.0};
    EXPECT_EQ(*estimate_from_runs(same)->standard_error, 0.0);
    EXPECT_NEAR(*estimate_from_runs(same, 1e-6)->standard_error, 100.0 * std::sqrt(1e-6 / 3.0), 1e-12);
    EXPECT_NEAR(*estimate_from_runs(runs, 1e-12)->standard_error, 2.0 / std::sqrt(3.0), 1e-12)
        << "a floor below the spread changes nothing";
    const std::vector<double> tiny{0.98e-300, 1.0e-300, 1.02e-300};
    EXPECT_NEAR(*estimate_from_runs(tiny)->standard_error / 1e-300, 0.02 / std::sqrt(3.0), 1e-12);
}

TEST(ComparisonStatistics, VarianceFloorFromTheRunsOwnIntervals) {
    // Rates 100 and 110 in 1 s each: the mean 105 with se 5, so (5 / 105)^2;
    // a run without intervals has no floor; one operation in 4e6 is 1 / 16e12.
    const std::vector<QuorlindIntervalSample> spread{interval(1.0, 100), interval(1.0, 110)};
    const std::vector<QuorlindIntervalSample> steady{interval(1.0, 2000000), interval(1.0, 2000000)};
    const std::vector<std::span<const QuorlindIntervalSample>> runs{spread, steady, {}};
    EXPECT_NEAR(run_variance_floor(runs), ((5.0 / 105.0) * (5.0 / 105.0) + 1.0 / 16e12) / 3.0, 1e-15);
    EXPECT_EQ(run_variance_floor({}), 0.0);
}

TEST(ComparisonStatistics, IntervalsAreWeightedByTheirLength) {
    // Rates 100, 110 and 90 over 1, 1 and 2 s: 390 operations in 4 s. Around
    // 97.5 the weighted squares are 6.25 + 156.25 + 2 * 56.25 = 275; V1 = 4,
    // V2 = 6, so s^2 = 275 / (4 - 6 / 4) = 110, se^2 = 110 * 6 / 16 and the
    // effective count 16 / 6.
    const std::vector<QuorlindIntervalSample> samples{interval(1.0, 100), interval(1.0, 110),
                                                      interval(2.0, 180)};
    const auto estimate = estimate_from_intervals(samples);
    ASSERT_TRUE(estimate);
    EXPECT_EQ(estimate->ops_per_second, 97.5);
    EXPECT_NEAR(*estimate->standard_error, std::sqrt(41.25), 1e-12);
    EXPECT_NEAR(estimate->degrees_of_freedom, 16.0 / 6.0 - 1.0, 1e-12);
    EXPECT_EQ(estimate->intervals, 3u);

    // Equal lengths reduce to the plain mean, s / sqrt(n) and n - 1.
    const std::vector<QuorlindIntervalSample> even{interval(1.0, 100), interval(1.0, 110), interval(1.0, 90)};
    const auto plain = estimate_from_intervals(even);
    EXPECT_EQ(plain->ops_per_second, 100.0);
    EXPECT_NEAR(*plain->standard_error, 10.0 / std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(plain->degrees_of_freedom, 2.0, 1e-12);

    const std::vector<QuorlindIntervalSample> single{interval(0.5, 40)};
    EXPECT_EQ(estimate_from_intervals(single)->ops_per_second, 80.0);
    EXPECT_FALSE(estimate_from_intervals(single)->standard_error) << "one interval has no spread";
    EXPECT_FALSE(estimate_from_intervals({}));

    // Hand-edited files: intervals without work, and lengths so small the rate overflows.
    const std::vector<QuorlindIntervalSample> idle{interval(1.0, 0), interval(1.0, 0)};
    EXPECT_FALSE(estimate_from_intervals(idle));
    const std::vector<QuorlindIntervalSample> vanishing{{1e-320, 1e-320, 1000, 1e18},
                                                        {1e-320, 1e-320, 1000, 1e18}};
    EXPECT_FALSE(estimate_from_intervals(vanishing));
}

TEST(ComparisonStatistics, RatioIntervalAndWelchTestByHand) {
    // Equal relative errors (2 / sqrt(3) %) on both sides; the smaller side's
    // 2 degrees of freedom, t(0.975, 2) = 4.302652729911275.
    const std::vector<double> base_runs{98.0, 100.0, 102.0};
    const std::vector<double> new_runs{88.2, 90.0, 91.8};
    const auto ratio =
        compare_throughputs(*estimate_from_runs(base_runs), *estimate_from_runs(new_runs), 0.95);
    EXPECT_NEAR(ratio.ratio, 0.9, 1e-15);
    const double se = std::sqrt(2.0) * 2.0 / std::sqrt(3.0) / 100.0;
    ASSERT_TRUE(ratio.interval);
    EXPECT_NEAR(ratio.interval->low, 0.9 * std::exp(-4.302652729911275 * se), 1e-10);
    EXPECT_NEAR(ratio.interval->high, 0.9 * std::exp(4.302652729911275 * se), 1e-10);
    EXPECT_NEAR(*ratio.degrees_of_freedom, 2.0, 1e-12) << "not Welch-Satterthwaite's 4";
    const double t = std::log(0.9) / se;
    EXPECT_NEAR(*ratio.t, t, 1e-9);
    // With 2 degrees of freedom the two-sided p is 1 - |t| / sqrt(t^2 + 2).
    EXPECT_NEAR(*ratio.p_value, 1.0 - std::fabs(t) / std::sqrt(t * t + 2.0), 1e-9);
    EXPECT_EQ(verdict_of(ratio, 2.0), Verdict::slower);
    // The interval is 0.839 - 0.966.
    EXPECT_EQ(verdict_of(ratio, 3.0), Verdict::slower);
    EXPECT_EQ(verdict_of(ratio, 4.0), Verdict::inconclusive) << "0.966 is within 4 %, 0.839 is not";
    EXPECT_EQ(verdict_of(ratio, 17.0), Verdict::same_or_faster) << "0.839 is within 17 %";

    // Swapped, the interval is the reciprocal one.
    const auto back =
        compare_throughputs(*estimate_from_runs(new_runs), *estimate_from_runs(base_runs), 0.95);
    EXPECT_NEAR(back.interval->low, 1.0 / ratio.interval->high, 1e-12);
    EXPECT_EQ(verdict_of(back, 2.0), Verdict::faster);

    // A higher confidence widens it.
    const auto wider =
        compare_throughputs(*estimate_from_runs(base_runs), *estimate_from_runs(new_runs), 0.999);
    EXPECT_LT(wider.interval->low, ratio.interval->low);
    EXPECT_GT(wider.interval->high, ratio.interval->high);
}

TEST(ComparisonStatistics, DegenerateSpreads) {
    const std::vector<double> same{100.0, 100.0, 100.0};
    const std::vector<double> lower{95.0, 95.0, 95.0};
    const auto exact = compare_throughputs(*estimate_from_runs(same), *estimate_from_runs(lower), 0.95);
    ASSERT_TRUE(exact.interval);
    EXPECT_EQ(exact.interval->low, 0.95);
    EXPECT_EQ(exact.interval->high, 0.95);
    EXPECT_EQ(*exact.p_value, 0.0);
    EXPECT_EQ(verdict_of(exact, 2.0), Verdict::slower);
    EXPECT_EQ(verdict_of(exact, 6.0), Verdict::same_or_faster);
    const auto equal = compare_throughputs(*estimate_from_runs(same), *estimate_from_runs(same), 0.95);
    EXPECT_EQ(*equal.p_value, 1.0);
    EXPECT_EQ(verdict_of(equal, 0.0), Verdict::inconclusive) << "at the bound is not above it";

    // One side without spread: the other's degrees of freedom alone.
    const std::vector<double> spread{98.0, 100.0, 102.0};
    const auto one_sided = compare_throughputs(*estimate_from_runs(same), *estimate_from_runs(spread), 0.95);
    EXPECT_NEAR(*one_sided.degrees_of_freedom, 2.0, 1e-12);

    // A side without any error gives no interval, so no verdict either way.
    const std::vector<double> one{50.0};
    const auto unknown = compare_throughputs(*estimate_from_runs(same), *estimate_from_runs(one), 0.95);
    EXPECT_EQ(unknown.ratio, 0.5);
    EXPECT_FALSE(unknown.interval);
    EXPECT_FALSE(unknown.p_value);
    EXPECT_EQ(verdict_of(unknown, 2.0), Verdict::inconclusive);

    // One interval of a thousand seconds beside one of a nanosecond leaves
    // almost no degrees of freedom: an interval without bounds, not a throw.
    const std::vector<QuorlindIntervalSample> lopsided{interval(1000.0, 100000), interval(1e-9, 1)};
    const auto barely = estimate_from_intervals(lopsided);
    ASSERT_TRUE(barely && barely->standard_error);
    ASSERT_LT(barely->degrees_of_freedom, 1e-6);
    const auto unbounded = compare_throughputs(*barely, *barely, 0.95);
    ASSERT_TRUE(unbounded.interval);
    EXPECT_EQ(unbounded.interval->high, std::numeric_limits<double>::infinity());
    EXPECT_EQ(verdict_of(unbounded, 2.0), Verdict::inconclusive);
}

TEST(ComparisonStatistics, VerdictsSayWhatTheIntervalShows) {
    // p_slower, p_faster, p_not_slower; then the adjusted decisive p.
    const ThresholdTest below{0.01, 0.99, 0.99};
    EXPECT_EQ(judge_test(below, 0.01, 0.95), Verdict::slower);
    EXPECT_EQ(judge_test(below, 0.03, 0.95), Verdict::inconclusive) << "Holm lifted it past the level";
    const double level = (1.0 - 0.95) / 2.0;
    EXPECT_EQ(judge_test(below, level, 0.95), Verdict::inconclusive) << "at the level is not below it";
    const ThresholdTest within{0.9, 0.5, 0.01};
    EXPECT_EQ(judge_test(within, 0.5, 0.95), Verdict::same_or_faster) << "unadjusted: a pass needs all";
    EXPECT_EQ(judge_test({0.9, 0.5, level}, 0.5, 0.95), Verdict::inconclusive);
    EXPECT_EQ(judge_test({0.9, 0.5, 0.024}, 0.5, 0.99), Verdict::inconclusive) << "0.005 at 99 %";
    EXPECT_EQ(judge_test({0.999, 0.001, 0.0}, 0.002, 0.95), Verdict::faster);

    EXPECT_STREQ(verdict_text(Verdict::faster), "faster");
    EXPECT_STREQ(verdict_text(Verdict::slower), "slower");
    EXPECT_STREQ(verdict_text(Verdict::same_or_faster), "same or faster");
    EXPECT_STREQ(verdict_text(Verdict::inconclusive), "inconclusive");
}

TEST(ComparisonStatistics, OneRunTakesTheOtherFilesSpreadWithRoomToSpare) {
    // One NEW run against three BASE runs: the BASE spread stands for both,
    // the single run's variance allowed nine times as large.
    const std::vector<double> base{98.0, 100.0, 102.0};
    const std::vector<double> one{90.0};
    const auto pooled = compare_runs_pooled(base, one, 0.95);
    ASSERT_TRUE(pooled);
    double log_mean = 0.0;
    for (const double value : base) {
        log_mean += std::log(value) / 3.0;
    }
    double squares = 0.0;
    for (const double value : base) {
        squares += (std::log(value) - log_mean) * (std::log(value) - log_mean);
    }
    const double se = std::sqrt(squares / 2.0 * (1.0 / 3.0 + 9.0));
    EXPECT_NEAR(pooled->ratio, 90.0 / std::exp(log_mean), 1e-12);
    EXPECT_NEAR(*pooled->log_standard_error, se, 1e-12);
    EXPECT_EQ(*pooled->degrees_of_freedom, 2.0);
    // t(0.975, 2) = 4.302652729911275
    EXPECT_NEAR(pooled->interval->high, pooled->ratio * std::exp(4.302652729911275 * se), 1e-9);
    // Mirrors when the files swap.
    const auto swapped = compare_runs_pooled(one, base, 0.95);
    EXPECT_NEAR(swapped->interval->low, 1.0 / pooled->interval->high, 1e-12);
    // The floor stands in for a spread smaller than it.
    const double floor = 4.0 * squares / 2.0;
    EXPECT_NEAR(*compare_runs_pooled(base, one, 0.95, floor)->log_standard_error, 2.0 * se, 1e-12);

    // Two runs against one: one degree of freedom, from the pair.
    const std::vector<double> two{99.0, 101.0};
    EXPECT_EQ(*compare_runs_pooled(two, one, 0.95)->degrees_of_freedom, 1.0);
    EXPECT_EQ(pooled_run_spread(two, one)->degrees_of_freedom, 1.0);
    EXPECT_FALSE(compare_runs_pooled(two, two, 0.95)) << "two runs each: Welch's";
    EXPECT_FALSE(compare_runs_pooled(one, one, 0.95)) << "no degree of freedom";
    EXPECT_FALSE(pooled_run_spread(one, one));
    EXPECT_NEAR(pooled_run_spread(base, one)->log_standard_deviation, std::sqrt(squares / 2.0), 1e-15);
    EXPECT_EQ(pooled_run_spread(base, two)->degrees_of_freedom, 3.0);
}

TEST(ComparisonStatistics, OneTestDecidesExactlyAsTheIntervalDoes) {
    // Across ratios near both bounds, the one-sided p's at (1 - confidence) / 2
    // and the interval printed beside the verdict must agree: slower when it
    // lies wholly below 1 - threshold, a pass when its lower end lies above.
    const std::vector<double> base{98.0, 100.0, 101.0, 102.5};
    for (const double threshold : {0.0, 2.0, 5.0}) {
        const double lower_bound = (100.0 - threshold) / 100.0;
        const double upper_bound = (100.0 + threshold) / 100.0;
        for (double level = 0.85; level < 1.15; level += 0.0025) {
            const std::vector<double> candidate{98.0 * level, 100.5 * level, 101.0 * level};
            const std::vector<double> single{100.0 * level};
            for (const auto& ratio :
                 {compare_throughputs(*estimate_from_runs(base), *estimate_from_runs(candidate), 0.95),
                  *compare_runs_pooled(base, single, 0.95)}) {
                const auto& interval = *ratio.interval;
                const Verdict expected = interval.high < lower_bound  ? Verdict::slower
                                         : interval.low > upper_bound ? Verdict::faster
                                         : interval.low > lower_bound ? Verdict::same_or_faster
                                                                      : Verdict::inconclusive;
                EXPECT_EQ(verdict_of(ratio, threshold), expected)
                    << "level " << level << " threshold " << threshold;
            }
        }
    }
    // At threshold 0 the two one-sided p's make the two-sided one.
    const std::vector<double> lower{97.0, 98.0, 99.5};
    const auto ratio = compare_throughputs(*estimate_from_runs(base), *estimate_from_runs(lower), 0.95);
    const auto test = threshold_test(ratio, 0.0);
    EXPECT_NEAR(test->p_slower + test->p_faster, 1.0, 1e-12);
    EXPECT_NEAR(2.0 * test->p_slower, *ratio.p_value, 1e-12);
    // With a threshold the question is harder to answer yes to.
    EXPECT_GT(threshold_test(ratio, 2.0)->p_slower, test->p_slower);
    EXPECT_FALSE(threshold_test(RatioEstimate{}, 2.0)) << "no interval, no test";
}

TEST(ComparisonStatistics, HolmAdjustsInTheGivenOrder) {
    // Sorted 0.01, 0.02, 0.04, 0.30 times 4, 3, 2, 1: 0.04, 0.06, 0.08, 0.30.
    const std::vector<double> p{0.04, 0.30, 0.01, 0.02};
    const auto adjusted = holm_adjusted(p);
    ASSERT_EQ(adjusted.size(), 4u);
    EXPECT_NEAR(adjusted[0], 0.08, 1e-15);
    EXPECT_NEAR(adjusted[1], 0.30, 1e-15);
    EXPECT_NEAR(adjusted[2], 0.04, 1e-15);
    EXPECT_NEAR(adjusted[3], 0.06, 1e-15);
    // Kept monotone, and capped at 1.
    const std::vector<double> step{0.02, 0.011};
    EXPECT_EQ(holm_adjusted(step)[0], 0.022);
    EXPECT_EQ(holm_adjusted(std::vector<double>{0.6, 0.7})[0], 1.0);
    EXPECT_TRUE(holm_adjusted({}).empty());
}

TEST(ComparisonStatistics, RunsForPowerAnswerTheVerdictsQuestion) {
    // A 4 % slowdown against a 2 % threshold, spread about the distance
    // between them: the normal approximation 2 (1.96 + 0.84)^2 gives 16;
    // t quantiles with n - 1 degrees of freedom add a run or two.
    const double d = std::log(0.98 / 0.96);
    const auto runs = runs_for_power(d, 0.04, 0.02, 0.95);
    ASSERT_TRUE(runs);
    EXPECT_GE(*runs, 17u);
    EXPECT_LE(*runs, 20u);
    EXPECT_GT(*runs_for_power(2.0 * d, 0.04, 0.02, 0.95), 3 * *runs)
        << "twice the spread, four times the runs";
    EXPECT_GT(*runs_for_power(d, 0.04, 0.02, 0.95, 2), *runs) << "Holm over two tests asks for more";
    EXPECT_LT(*runs_for_power(d, 0.04, 0.0, 0.95), *runs) << "without a threshold the whole 4 % counts";
    EXPECT_LE(*runs_for_power(0.001, 0.10, 0.02, 0.95), 3u);
    EXPECT_FALSE(runs_for_power(0.5, 0.03, 0.02, 0.95)) << "beyond a thousand";
    EXPECT_FALSE(runs_for_power(0.01, 0.02, 0.02, 0.95)) << "the threshold itself cannot be told from it";
}

}  // namespace
}  // namespace quorlind::bench
