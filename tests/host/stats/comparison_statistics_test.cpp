#include "stats/comparison_statistics.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace quorlind::bench {
namespace {

QuorlindIntervalSample interval(double seconds, std::uint64_t operations) {
    return {seconds, seconds, operations, static_cast<double>(operations) / seconds};
}

RatioEstimate ratio_between(double low, double high) {
    RatioEstimate ratio;
    ratio.ratio = std::sqrt(low * high);
    ratio.interval = Interval{low, high};
    return ratio;
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
    // Equal relative errors (2 / sqrt(3) %) on both sides: Welch's degrees of
    // freedom are 2 + 2 = 4, and t(0.975, 4) = 2.7764451051977935.
    const std::vector<double> base_runs{98.0, 100.0, 102.0};
    const std::vector<double> new_runs{88.2, 90.0, 91.8};
    const auto ratio =
        compare_throughputs(*estimate_from_runs(base_runs), *estimate_from_runs(new_runs), 0.95);
    EXPECT_NEAR(ratio.ratio, 0.9, 1e-15);
    ASSERT_TRUE(ratio.interval);
    EXPECT_NEAR(ratio.interval->low, 0.8601059717434776, 1e-12);
    EXPECT_NEAR(ratio.interval->high, 0.9417444205835355, 1e-12);
    EXPECT_NEAR(*ratio.degrees_of_freedom, 4.0, 1e-12);
    EXPECT_NEAR(*ratio.t, -6.451987559954795, 1e-9);
    // The closed form of t with 4 degrees of freedom gives 0.0029705723.
    EXPECT_NEAR(*ratio.p_value, 0.002970572333019117, 1e-9);
    EXPECT_EQ(judge(ratio, 2.0), Verdict::slower);
    EXPECT_EQ(judge(ratio, 5.8), Verdict::slower);
    EXPECT_EQ(judge(ratio, 8.0), Verdict::no_significant_difference) << "0.94 is within 8 %";

    // Swapped, the interval is the reciprocal one.
    const auto back =
        compare_throughputs(*estimate_from_runs(new_runs), *estimate_from_runs(base_runs), 0.95);
    EXPECT_NEAR(back.interval->low, 1.0 / 0.9417444205835355, 1e-12);
    EXPECT_EQ(judge(back, 2.0), Verdict::faster);

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
    EXPECT_EQ(judge(exact, 2.0), Verdict::slower);
    const auto equal = compare_throughputs(*estimate_from_runs(same), *estimate_from_runs(same), 0.95);
    EXPECT_EQ(*equal.p_value, 1.0);
    EXPECT_EQ(judge(equal, 0.0), Verdict::no_significant_difference);

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
    EXPECT_EQ(judge(unknown, 2.0), Verdict::no_significant_difference);
}

TEST(ComparisonStatistics, VerdictNeedsTheWholeIntervalBeyondTheThreshold) {
    EXPECT_EQ(judge(ratio_between(0.90, 0.97999), 2.0), Verdict::slower);
    EXPECT_EQ(judge(ratio_between(0.90, 0.98), 2.0), Verdict::no_significant_difference)
        << "at the threshold";
    EXPECT_EQ(judge(ratio_between(0.97, 0.99), 2.0), Verdict::no_significant_difference) << "straddles it";
    EXPECT_EQ(judge(ratio_between(0.95, 1.01), 2.0), Verdict::no_significant_difference) << "straddles 1";
    EXPECT_EQ(judge(ratio_between(1.02001, 1.2), 2.0), Verdict::faster);
    EXPECT_EQ(judge(ratio_between(1.02, 1.2), 2.0), Verdict::no_significant_difference) << "at the threshold";
    EXPECT_EQ(judge(ratio_between(1.01, 1.03), 2.0), Verdict::no_significant_difference);
    EXPECT_EQ(judge(ratio_between(0.93, 0.95), 5.0), Verdict::no_significant_difference);
    EXPECT_EQ(judge(ratio_between(0.93, 0.9499), 5.0), Verdict::slower);
    // Without a threshold any interval clear of 1 counts.
    EXPECT_EQ(judge(ratio_between(0.99, 0.9999), 0.0), Verdict::slower);
    EXPECT_EQ(judge(ratio_between(1.0, 1.1), 0.0), Verdict::no_significant_difference);

    EXPECT_STREQ(verdict_text(Verdict::faster), "faster");
    EXPECT_STREQ(verdict_text(Verdict::slower), "slower");
    EXPECT_STREQ(verdict_text(Verdict::no_significant_difference), "no significant difference");
    EXPECT_STREQ(verdict_text(Verdict::inconclusive), "inconclusive");
}

TEST(ComparisonStatistics, PooledLogTestLendsTheSpreadOfTheFileWithMoreRuns) {
    // One NEW run against three BASE runs: the BASE spread stands for both.
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
    const double se = std::sqrt(squares / 2.0 * (1.0 / 3.0 + 1.0));
    EXPECT_NEAR(pooled->ratio, 90.0 / std::exp(log_mean), 1e-12);
    EXPECT_NEAR(*pooled->log_standard_error, se, 1e-12);
    EXPECT_EQ(*pooled->degrees_of_freedom, 2.0);
    // t(0.975, 2) = 4.302652729911275
    EXPECT_NEAR(pooled->interval->high, pooled->ratio * std::exp(4.302652729911275 * se), 1e-9);
    // Mirrors when the files swap.
    const auto swapped = compare_runs_pooled(one, base, 0.95);
    EXPECT_NEAR(swapped->interval->low, 1.0 / pooled->interval->high, 1e-12);

    const std::vector<double> two{99.0, 101.0};
    EXPECT_EQ(*compare_runs_pooled(two, two, 0.95)->degrees_of_freedom, 2.0);
    EXPECT_FALSE(compare_runs_pooled(one, one, 0.95)) << "no degree of freedom";
    EXPECT_FALSE(pooled_run_spread(one, one));
    EXPECT_NEAR(pooled_run_spread(base, one)->log_standard_deviation, std::sqrt(squares / 2.0), 1e-15);
    EXPECT_EQ(pooled_run_spread(base, two)->degrees_of_freedom, 3.0);
}

TEST(ComparisonStatistics, OneTestDecidesExactlyAsTheIntervalDoes) {
    // Across ratios near both bounds, the one-sided p at (1 - confidence) / 2
    // and the whole-interval rule must agree: the verdict never contradicts
    // the interval printed beside it.
    const std::vector<double> base{98.0, 100.0, 101.0, 102.5};
    for (const double threshold : {0.0, 2.0, 5.0}) {
        for (double level = 0.85; level < 1.15; level += 0.0025) {
            const std::vector<double> candidate{98.0 * level, 100.5 * level, 101.0 * level};
            for (const auto& ratio :
                 {compare_throughputs(*estimate_from_runs(base), *estimate_from_runs(candidate), 0.95),
                  *compare_runs_pooled(base, candidate, 0.95)}) {
                const auto test = threshold_test(ratio, threshold);
                ASSERT_TRUE(test);
                EXPECT_EQ(judge_test(*test, test->decisive(), 0.95), judge(ratio, threshold))
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

TEST(ComparisonStatistics, RunsForPowerFollowTheSpread) {
    // Normal approximation 2 s^2 (1.96 + 0.84)^2 / d^2 with s = d: about 16;
    // t quantiles add a run.
    const double d = std::log(1.02);
    const auto runs = runs_for_power(d, 0.02, 0.95);
    ASSERT_TRUE(runs);
    EXPECT_GE(*runs, 16u);
    EXPECT_LE(*runs, 18u);
    EXPECT_GT(*runs_for_power(2.0 * d, 0.02, 0.95), 3 * *runs) << "twice the spread, four times the runs";
    EXPECT_LE(*runs_for_power(0.001, 0.10, 0.95), 3u);
    EXPECT_FALSE(runs_for_power(0.5, 0.01, 0.95)) << "beyond a thousand";
    EXPECT_FALSE(runs_for_power(0.01, 0.0, 0.95));
}

}  // namespace
}  // namespace quorlind::bench
