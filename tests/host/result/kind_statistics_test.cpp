#include "result/kind_runs.h"

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
    const auto unknown_smt = compute_scaling(100.0, 350.0, 4, 4u, std::nullopt);
    ASSERT_TRUE(unknown_smt);
    EXPECT_TRUE(unknown_smt->efficiency_per_physical_core);
    EXPECT_FALSE(unknown_smt->smt_gain) << "cores known, SMT not";

    EXPECT_FALSE(compute_scaling(0.0, 350.0, 4, 4u, false));
    EXPECT_FALSE(compute_scaling(100.0, 350.0, 0, 4u, false));
}

TEST(Scaling, NeedsACompletedRunOfEachKind) {
    EXPECT_FALSE(
        result_scaling(test_result({completed_run(0, single, 100.0), failed_run(1, all, "refused")}), 4u));
    // Not the medians' 3.0, nor the neighbours' 6 and 2: the fit on kind and
    // position, whose trend takes the single-thread rise from 100 to 300.
    const auto scaling =
        result_scaling(test_result({completed_run(0, single, 100.0), completed_run(1, all, 600.0),
                                    completed_run(2, single, 300.0), completed_run(3, all, 600.0)}),
                       4u);
    ASSERT_TRUE(scaling);
    EXPECT_NEAR(scaling->multi_core_ratio, 2.6321480259049848, 1e-12);
    EXPECT_EQ(scaling->pairs, 2u);
}

TEST(Scaling, AlternatingRunsGiveARatioNetOfATrendWithAnInterval) {
    // log rate on kind and position: 6 runs, 3 parameters, t(0.975, 3).
    const auto three =
        result_scaling(test_result({completed_run(0, single, 100.0), completed_run(1, all, 600.0),
                                    completed_run(2, single, 300.0), completed_run(3, all, 600.0),
                                    completed_run(4, single, 200.0), completed_run(5, all, 800.0)},
                                   ThreadMode::both, 3),
                       4u);
    ASSERT_TRUE(three);
    EXPECT_NEAR(three->multi_core_ratio, 3.2149013738429955, 1e-12);
    EXPECT_EQ(three->pairs, 3u);
    ASSERT_TRUE(three->multi_core_ratio_interval);
    const double half_width = 3.182446305284263 * 0.3240128263207861;
    EXPECT_NEAR(three->multi_core_ratio_interval->low, std::exp(1.167796680342831 - half_width), 1e-9);
    EXPECT_NEAR(three->multi_core_ratio_interval->high, std::exp(1.167796680342831 + half_width), 1e-9);

    // A rate that rises by the same factor every run, whatever the kind, is
    // a trend and nothing else: the ratio is exact.
    std::vector<RunRecord> trending;
    for (std::size_t i = 0; i < 8; ++i) {
        trending.push_back(
            completed_run(i, i % 2 == 0 ? single : all, (i % 2 == 0 ? 100.0 : 500.0) * std::pow(0.99, i)));
    }
    const auto exact = result_scaling(test_result(trending, ThreadMode::both, 4), 4u);
    EXPECT_NEAR(exact->multi_core_ratio, 5.0, 1e-9);
    EXPECT_NEAR(exact->multi_core_ratio_interval->low, 5.0, 1e-6);

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

TEST(Scaling, WorkersAreTheMostAnyPairedRunHad) {
    ResultRecord record = test_result({completed_run(0, single, 100.0), completed_run(1, all, 600.0),
                                       completed_run(2, single, 100.0), completed_run(3, all, 600.0)});
    record.runs[1].summary.workers = 8;
    record.runs[3].summary.workers = 6;
    EXPECT_EQ(result_scaling(record, 4u)->workers, 8u);
    record.runs[1].summary.workers = 6;
    record.runs[3].summary.workers = 8;
    EXPECT_EQ(result_scaling(record, 4u)->workers, 8u);
    // Older files report no workers: the logical processors stand in.
    record.runs[1].summary.workers = 0;
    record.runs[3].summary.workers = 0;
    record.system.logical_processors = 12;
    EXPECT_EQ(result_scaling(record, 4u)->workers, 12u);
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

TEST(Stability, DriftNeedsASignificantTrendOfAtLeastOnePercent) {
    EXPECT_EQ(classify_instability(true, 1.0, false), Instability::drift) << "at least 1 %";
    EXPECT_EQ(classify_instability(true, -1.0, false), Instability::drift);
    EXPECT_EQ(classify_instability(true, 0.999, false), Instability::none);
    EXPECT_EQ(classify_instability(true, 0.999, true), Instability::noise);
    EXPECT_EQ(classify_instability(false, 5.0, true), Instability::noise);
    EXPECT_EQ(classify_instability(true, std::nullopt, false), Instability::none);

    // Half a percent over 300 s, very steadily: too small to stand out from
    // the wander one run cannot see, so not even significant.
    std::vector<QuorlindIntervalSample> samples;
    for (int i = 0; i < 300; ++i) {
        const double rate = 100000.0 * (1.0 - 0.005 * i / 300.0) + (i % 2 == 0 ? 1.0 : -1.0);
        samples.push_back({i + 1.0, 1.0, static_cast<std::uint64_t>(rate), rate});
    }
    const Stability stability = assess_stability(summary_marked(false), samples);
    EXPECT_NEAR(*stability.trend_percent, -0.5, 0.01);
    EXPECT_FALSE(stability.trend_significant);
    EXPECT_EQ(stability.instability, Instability::none);
}

TEST(TrendTest, CriticalValuesFollowTheLength) {
    EXPECT_EQ(trend_critical_value(5), 17.86);
    EXPECT_EQ(trend_critical_value(4), 17.86);
    EXPECT_EQ(trend_critical_value(60), 6.89);
    EXPECT_EQ(trend_critical_value(100000), 5.82);
    // Between 50 and 60 in 1 / n: 7.51 + (6.89 - 7.51) * (1/40 - 1/50) / (1/40 - 1/60).
    EXPECT_NEAR(trend_critical_value(50), 7.51 + (6.89 - 7.51) * 0.6, 1e-12);
    // A clean line still needs to stand out from the floor under its error.
    std::vector<WeightedPoint> line;
    for (int i = 0; i < 60; ++i) {
        line.push_back({i + 0.5, 1000.0 * (1.0 - 0.02 * i / 60.0), 1.0});
    }
    const auto test = test_trend(line, 60.0);
    ASSERT_TRUE(test);
    // 20 of the mean 990.17, with no error but the floor.
    EXPECT_NEAR(test->statistic, 2.0 / (1.0 - 0.02 * 29.5 / 60.0) / min_trend_error_percent, 1e-6);
    EXPECT_FALSE(test_trend(std::span(line).first(4), 4.0)) << "too short to assess";
}

TEST(Stability, TooFewOrEmptyIntervalsGiveNoTrend) {
    const auto three = rates({1000.0, 900.0, 800.0});
    const Stability short_run = assess_stability(summary_marked(true), three);
    EXPECT_FALSE(short_run.trend_percent);
    EXPECT_FALSE(short_run.trend_significant);
    EXPECT_EQ(short_run.instability, Instability::noise);

    // Zero-length intervals carry no time to weigh; five real ones remain.
    auto with_empty = rates({1000.0, 980.0, 960.0, 940.0, 920.0});
    with_empty.insert(with_empty.begin() + 2, {2.0, 0.0, 0, 0.0});
    with_empty.push_back({5.0, 0.0, 0, 0.0});
    const Stability stability = assess_stability(summary_marked(false), with_empty);
    ASSERT_TRUE(stability.trend_percent);
    EXPECT_NEAR(*stability.trend_percent, -20.0 * 5.0 / 960.0 * 100.0, 1e-9);
    EXPECT_DOUBLE_EQ(stability.measured_seconds, 5.0);

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
    // Two slow swings of 3 % over 60 s: a line through them falls 2.9 % and
    // the plain t test calls that significant, but the residuals are so
    // strongly correlated that a wander cannot be told from a trend.
    std::vector<QuorlindIntervalSample> samples;
    for (int i = 0; i < 60; ++i) {
        const double rate = 1000.0 * (1.0 + 0.03 * std::sin(2.0 * 3.14159265358979 * i / 30.0));
        samples.push_back({i + 1.0, 1.0, static_cast<std::uint64_t>(rate), rate});
    }
    const IntervalTrend trend = fit_interval_trend(samples);
    ASSERT_TRUE(trend.fit);
    const double t = trend.fit->slope / *trend.fit->slope_standard_error;
    EXPECT_LT(t, -3.0) << "the plain t test would call it a trend";
    EXPECT_GT(trend.fit->residual_lag1_autocorrelation, 0.9);
    const Stability stability = assess_stability(summary_marked(false), samples);
    EXPECT_LT(*stability.trend_percent, -2.5);
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
