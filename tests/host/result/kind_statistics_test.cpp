#include "result/kind_statistics.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "app/exit_codes.h"
#include "result_fixtures.h"
#include "stats/stability.h"

namespace quorlind::bench {
namespace {

using testing::cancelled_run;
using testing::completed_run;
using testing::failed_run;
using testing::sample;
using testing::test_result;

constexpr std::uint32_t single = QUORLIND_BENCHMARK_SINGLE;
constexpr std::uint32_t all = QUORLIND_BENCHMARK_PER_CPU;

TEST(KindStatistics, SpreadNeedsTwoRunsAndEqualRunsHaveNone) {
    const auto one = summarize_throughputs(1, std::vector<double>{42.0});
    EXPECT_EQ(one.completed, 1u);
    EXPECT_EQ(*one.median, 42.0);
    EXPECT_EQ(*one.minimum, 42.0);
    EXPECT_EQ(*one.maximum, 42.0);
    EXPECT_FALSE(one.ci95);
    EXPECT_FALSE(one.cv_percent);

    // 1000 +- t(0.975, 1) * 100: one degree of freedom gives a wide interval.
    const auto two = summarize_throughputs(2, std::vector<double>{1100.0, 900.0});
    ASSERT_TRUE(two.ci95);
    EXPECT_NEAR(two.ci95->high, 1000.0 + 1270.6204736174693, 1e-6);
    EXPECT_NEAR(*two.cv_percent, 14.142135623730951, 1e-9);

    const auto equal = summarize_throughputs(3, std::vector<double>{5e6, 5e6, 5e6});
    ASSERT_TRUE(equal.ci95);
    EXPECT_EQ(equal.ci95->low, 5e6);
    EXPECT_EQ(equal.ci95->high, 5e6);
    EXPECT_EQ(*equal.cv_percent, 0.0);
}

TEST(KindStatistics, FailedAndCancelledRunsAreCountedButNotMeasured) {
    const auto result = test_result({completed_run(0, single, 100.0), failed_run(1, single, "refused"),
                                     completed_run(2, single, 300.0), cancelled_run(3, single, 50)});
    const auto statistics = kind_statistics(result, single);
    ASSERT_TRUE(statistics);
    EXPECT_EQ(statistics->runs, 4u);
    EXPECT_EQ(statistics->completed, 2u);
    EXPECT_EQ(*statistics->median, 200.0);
    EXPECT_FALSE(kind_statistics(result, all)) << "no run of that kind started";

    const auto only_failed = kind_statistics(test_result({failed_run(0, all, "refused")}), all);
    ASSERT_TRUE(only_failed);
    EXPECT_EQ(only_failed->completed, 0u);
    EXPECT_FALSE(only_failed->median);
    EXPECT_FALSE(only_failed->minimum);
}

TEST(Scaling, RatioAndEfficienciesFromTheMedians) {
    const auto smt = compute_scaling(100.0, 750.0, 8, 4u, true);
    ASSERT_TRUE(smt);
    EXPECT_DOUBLE_EQ(smt->multi_core_ratio, 7.5);
    EXPECT_DOUBLE_EQ(smt->efficiency_per_logical_processor, 0.9375);
    EXPECT_DOUBLE_EQ(*smt->efficiency_per_physical_core, 1.875);
    EXPECT_DOUBLE_EQ(*smt->smt_gain, 0.875);

    const auto no_smt = compute_scaling(100.0, 350.0, 4, 4u, false);
    ASSERT_TRUE(no_smt);
    EXPECT_DOUBLE_EQ(*no_smt->efficiency_per_physical_core, 0.875);
    EXPECT_FALSE(no_smt->smt_gain);

    const auto unknown_topology = compute_scaling(100.0, 350.0, 4, std::nullopt, std::nullopt);
    ASSERT_TRUE(unknown_topology);
    EXPECT_FALSE(unknown_topology->efficiency_per_physical_core);
    EXPECT_FALSE(unknown_topology->smt_gain);

    EXPECT_FALSE(compute_scaling(0.0, 350.0, 4, 4u, false));
    EXPECT_FALSE(compute_scaling(100.0, 350.0, 0, 4u, false));
}

TEST(Scaling, NeedsACompletedRunOfEachKind) {
    EXPECT_FALSE(
        result_scaling(test_result({completed_run(0, single, 100.0), failed_run(1, all, "refused")}), 4u));
    // The ratio was that of the medians (3.0); neighbouring runs are now
    // paired, 6 and 2, and their geometric mean taken.
    const auto scaling =
        result_scaling(test_result({completed_run(0, single, 100.0), completed_run(1, all, 600.0),
                                    completed_run(2, single, 300.0), completed_run(3, all, 600.0)}),
                       4u);
    ASSERT_TRUE(scaling);
    EXPECT_DOUBLE_EQ(scaling->multi_core_ratio, std::sqrt(12.0));
    EXPECT_EQ(scaling->pairs, 2u);
}

TEST(Scaling, PairedRunsGiveAGeometricMeanWithAnInterval) {
    // Ratios 6, 2 and 4; the interval is t(0.975, 2) on their logs.
    const auto three =
        result_scaling(test_result({completed_run(0, single, 100.0), completed_run(1, all, 600.0),
                                    completed_run(2, single, 300.0), completed_run(3, all, 600.0),
                                    completed_run(4, single, 200.0), completed_run(5, all, 800.0)},
                                   ThreadMode::both, 3),
                       4u);
    ASSERT_TRUE(three);
    EXPECT_NEAR(three->multi_core_ratio, 3.634241185664279, 1e-12);
    EXPECT_EQ(three->pairs, 3u);
    ASSERT_TRUE(three->multi_core_ratio_interval);
    EXPECT_NEAR(three->multi_core_ratio_interval->low, 0.9142435176634242, 1e-9);
    EXPECT_NEAR(three->multi_core_ratio_interval->high, 14.446598461353139, 1e-9);

    // A failed all-threads run breaks its pair; the one pair left has no interval.
    const auto one =
        result_scaling(test_result({completed_run(0, single, 100.0), failed_run(1, all, "refused"),
                                    completed_run(2, single, 200.0), completed_run(3, all, 900.0)},
                                   ThreadMode::both, 2),
                       4u);
    ASSERT_TRUE(one);
    EXPECT_DOUBLE_EQ(one->multi_core_ratio, 4.5);
    EXPECT_EQ(one->pairs, 1u);
    EXPECT_FALSE(one->multi_core_ratio_interval);

    // No pair at all: the medians stand in.
    const auto unpaired =
        result_scaling(test_result({completed_run(0, single, 100.0), failed_run(1, all, "refused"),
                                    failed_run(2, single, "x"), completed_run(3, all, 700.0)}),
                       4u);
    ASSERT_TRUE(unpaired);
    EXPECT_DOUBLE_EQ(unpaired->multi_core_ratio, 7.0);
    EXPECT_EQ(unpaired->pairs, 0u);
}

TEST(Scaling, EfficienciesDivideByTheProcessorsTheRunsHad) {
    // An affinity mask left the all-threads runs 4 workers of the 8 online
    // processors, and 2 of the 4 cores.
    ResultRecord record = test_result({completed_run(0, single, 100.0), completed_run(1, all, 300.0)});
    record.runs[1].summary.workers = 4;
    ASSERT_EQ(record.system.logical_processors, 8u);
    const auto scaling = result_scaling(record, 2u);
    ASSERT_TRUE(scaling);
    EXPECT_EQ(scaling->workers, 4u);
    EXPECT_DOUBLE_EQ(scaling->efficiency_per_logical_processor, 0.75);
    EXPECT_EQ(scaling->physical_cores, 2u);
    EXPECT_DOUBLE_EQ(*scaling->efficiency_per_physical_core, 1.5);
    EXPECT_FALSE(result_scaling(record, std::nullopt)->efficiency_per_physical_core);
}

QuorlindRunSummary summary_marked(bool unstable) {
    QuorlindRunSummary summary{};
    summary.unstable = unstable ? 1 : 0;
    return summary;
}

std::vector<QuorlindIntervalSample> rates(std::initializer_list<double> per_second) {
    std::vector<QuorlindIntervalSample> samples;
    double end = 0.0;
    for (double rate : per_second) {
        end += 1.0;
        samples.push_back({end, 1.0, static_cast<std::uint64_t>(rate), rate});
    }
    return samples;
}

TEST(Stability, SteadyDeclineIsDriftWithItsSize) {
    // 1000 falling by 10 a second for 8 s, with a little jitter.
    const auto samples = rates({1001.0, 989.0, 981.0, 969.0, 961.0, 949.0, 941.0, 930.0});
    const Stability stability = assess_stability(summary_marked(false), samples);
    ASSERT_TRUE(stability.trend_percent);
    EXPECT_NEAR(*stability.trend_percent, -10.0 * 8.0 / 965.125 * 100.0, 0.2);
    EXPECT_TRUE(stability.trend_significant);
    EXPECT_EQ(stability.instability, Instability::drift);
    EXPECT_DOUBLE_EQ(stability.measured_seconds, 8.0);
}

TEST(Stability, SpreadWithoutTrendIsNoise) {
    const auto samples = rates({1000.0, 1300.0, 800.0, 1250.0, 850.0, 1200.0, 950.0, 1000.0});
    const Stability noisy = assess_stability(summary_marked(true), samples);
    ASSERT_TRUE(noisy.trend_percent);
    EXPECT_FALSE(noisy.trend_significant);
    EXPECT_EQ(noisy.instability, Instability::noise);
    EXPECT_EQ(assess_stability(summary_marked(false), samples).instability, Instability::none);
}

TEST(Stability, SmallSignificantTrendIsReportedButNotCalledDrift) {
    // Half a percent over the run, very steadily.
    const auto samples = rates({1000.0, 999.3, 998.6, 997.9, 997.1, 996.4, 995.7, 995.0});
    const Stability stability = assess_stability(summary_marked(false), samples);
    EXPECT_TRUE(stability.trend_significant);
    EXPECT_GT(*stability.trend_percent, -min_drift_percent);
    EXPECT_EQ(stability.instability, Instability::none);
}

TEST(Stability, TooFewOrEmptyIntervalsGiveNoTrend) {
    const auto three = rates({1000.0, 900.0, 800.0});
    const Stability short_run = assess_stability(summary_marked(true), three);
    EXPECT_FALSE(short_run.trend_percent);
    EXPECT_FALSE(short_run.trend_significant);
    EXPECT_EQ(short_run.instability, Instability::noise);

    // Zero-length intervals carry no time to weigh; four real ones remain.
    auto with_empty = rates({1000.0, 980.0, 960.0, 940.0});
    with_empty.insert(with_empty.begin() + 2, {2.0, 0.0, 0, 0.0});
    with_empty.push_back({4.0, 0.0, 0, 0.0});
    const Stability stability = assess_stability(summary_marked(false), with_empty);
    ASSERT_TRUE(stability.trend_percent);
    EXPECT_NEAR(*stability.trend_percent, -20.0 * 4.0 / 970.0 * 100.0, 1e-9);
    EXPECT_DOUBLE_EQ(stability.measured_seconds, 4.0);

    EXPECT_FALSE(assess_stability(summary_marked(false), {}).trend_percent);
}

TEST(Stability, EqualRatesAreFlat) {
    const Stability stability =
        assess_stability(summary_marked(false), rates({500.0, 500.0, 500.0, 500.0, 500.0}));
    ASSERT_TRUE(stability.trend_percent);
    EXPECT_EQ(*stability.trend_percent, 0.0);
    EXPECT_FALSE(stability.trend_significant);
    EXPECT_EQ(stability.instability, Instability::none);
    EXPECT_STREQ(instability_name(Instability::drift), "drift");
}

TEST(Stability, SlowWanderIsNotDrift) {
    // Three quarters of a slow swing over 60 s: a line through it falls 5 %
    // and the plain t test calls that significant, but the residuals are so
    // strongly correlated that a wander cannot be told from a trend.
    std::vector<QuorlindIntervalSample> samples;
    for (int i = 0; i < 60; ++i) {
        const double rate = 1000.0 * (1.0 + 0.03 * std::sin(2.0 * 3.14159265358979 * i / 80.0));
        samples.push_back({i + 1.0, 1.0, static_cast<std::uint64_t>(rate), rate});
    }
    const IntervalTrend trend = fit_interval_trend(samples);
    ASSERT_TRUE(trend.fit);
    EXPECT_TRUE(slope_is_significant(*trend.fit));
    EXPECT_GT(trend.fit->residual_lag1_autocorrelation, 0.9);
    EXPECT_LT(effective_points(*trend.fit), 3.0);
    const Stability stability = assess_stability(summary_marked(false), samples);
    EXPECT_FALSE(stability.trend_significant);
    EXPECT_EQ(stability.instability, Instability::none);
}

TEST(ExitCode, NamesTheWorstOutcomeOfAnyRun) {
    EXPECT_EQ(exit_code_for({completed_run(0, single, 1.0), completed_run(1, all, 2.0)}),
              exit_code::completed);
    EXPECT_EQ(exit_code_for(
                  {completed_run(0, single, 1.0), failed_run(1, all, "x"), completed_run(2, single, 1.0)}),
              exit_code::run_failed);
    EXPECT_EQ(exit_code_for({failed_run(0, single, "x"), cancelled_run(1, all, 5)}), exit_code::interrupted);
    EXPECT_EQ(exit_code_for({}), exit_code::completed);
}

}  // namespace
}  // namespace quorlind::bench
