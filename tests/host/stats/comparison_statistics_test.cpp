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
}

}  // namespace
}  // namespace quorlind::bench
