#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lib/run_results.h"

namespace quorlind {
namespace {

const Timing timing{{50, 0}, {50, 0}, {53, 0}};  // no warm-up, 3 s measured

ClockInstant after_warm_end(double seconds) {
    const auto whole = static_cast<std::uint64_t>(seconds);
    const auto nanos = static_cast<std::uint32_t>(std::llround((seconds - static_cast<double>(whole)) * 1e9));
    return *checked_add(timing.warm_end, {whole, nanos});
}

// Passes every 10 ms with a steady rate of 1000 operations per second.
std::vector<IntervalSample> cut_samples_over(double seconds) {
    SampleCutter cutter;
    std::vector<IntervalSample> samples;
    for (int pass = 0; pass * 0.0101 <= seconds; ++pass) {
        const double x = pass * 0.0101;
        cutter.step(after_warm_end(x), timing, static_cast<std::uint64_t>(x * 1000), samples);
    }
    return samples;
}

RunOutcome outcome_with(std::vector<IntervalSample> samples, std::uint64_t total, double measured) {
    RunOutcome outcome;
    outcome.samples = std::move(samples);
    outcome.total_operations = total;
    outcome.measured_seconds = measured;
    return outcome;
}

TEST(Samples, HalfSecondRunGetsOnlyTheClosingSample) {
    auto samples = cut_samples_over(0.5);
    EXPECT_TRUE(samples.empty());
    close_samples(samples, 0.5001, 500);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].end_seconds, 0.5001);
    EXPECT_EQ(samples[0].duration_seconds, 0.5001);
    EXPECT_EQ(samples[0].operations, 500u);

    RunOutcome outcome = outcome_with(samples, 500, 0.5001);
    decide_verdict(outcome, false, false);
    EXPECT_EQ(outcome.status, status_completed);
    EXPECT_FALSE(outcome.variation_percent);
    EXPECT_FALSE(outcome.unstable);
}

TEST(Samples, ThreeSecondRunCutsTwoThenCloses) {
    auto samples = cut_samples_over(3.05);  // passes at or after end cut nothing
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_GE(samples[0].duration_seconds, 1.0);
    EXPECT_LT(samples[0].duration_seconds, 1.02);
    EXPECT_GE(samples[1].duration_seconds, 1.0);
    EXPECT_EQ(samples[1].end_seconds - samples[1].duration_seconds, samples[0].end_seconds);

    close_samples(samples, 3.004, 3004);
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[2].end_seconds, 3.004);
    std::uint64_t operations = 0;
    double duration = 0;
    for (const auto& sample : samples) {
        operations += sample.operations;
        duration += sample.duration_seconds;
    }
    EXPECT_EQ(operations, 3004u);
    EXPECT_NEAR(duration, 3.004, 1e-12);
}

TEST(Samples, OperationDifferencesNeverGoNegative) {
    SampleCutter cutter;
    std::vector<IntervalSample> samples;
    cutter.step(after_warm_end(1.0), timing, 100, samples);
    cutter.step(after_warm_end(2.0), timing, 90, samples);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[1].operations, 0u);
}

TEST(ClosingSample, DroppedSamplesReappearInTheClosingOne) {
    // Cut on passes after the workers had already stopped at 1.5 s.
    std::vector<IntervalSample> samples = {
        {1.0, 1.0, 100, 100.0}, {2.0, 1.0, 100, 100.0}, {3.0, 1.0, 50, 50.0}};
    close_samples(samples, 1.5, 160);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[1].end_seconds, 1.5);
    EXPECT_EQ(samples[1].duration_seconds, 0.5);
    EXPECT_EQ(samples[1].operations, 60u);
    EXPECT_EQ(samples[1].ops_per_second, 120.0);
}

TEST(ClosingSample, NothingToCloseWhenNoTimeWasMeasured) {
    std::vector<IntervalSample> samples;
    close_samples(samples, 0.0, 0);
    EXPECT_TRUE(samples.empty());
}

TEST(ClosingSample, SampleEndingExactlyAtTheEndIsClosedAgainWithWhatIsLeft) {
    // The operations counted after the watch loop's cut belong to the end too.
    std::vector<IntervalSample> samples = {{1.0, 1.0, 100, 100.0}, {2.0, 1.0, 100, 100.0}};
    close_samples(samples, 2.0, 230);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[1].end_seconds, 2.0);
    EXPECT_EQ(samples[1].duration_seconds, 1.0);
    EXPECT_EQ(samples[1].operations, 130u);
    EXPECT_EQ(samples[1].ops_per_second, 130.0);
}

TEST(Verdict, EqualRatesGiveZeroVariation) {
    RunOutcome outcome = outcome_with({{1.0, 1.0, 100, 100.0}, {2.0, 1.0, 100, 100.0}}, 200, 2.0);
    decide_verdict(outcome, false, false);
    EXPECT_EQ(outcome.status, status_completed);
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(*outcome.ops_per_second, 100.0);
    EXPECT_EQ(*outcome.variation_percent, 0.0);
    EXPECT_FALSE(outcome.unstable);
}

TEST(Verdict, TenPercentIsTheLimitAndNotUnstable) {
    RunOutcome outcome = outcome_with({{1.0, 1.0, 90, 90.0}, {2.0, 1.0, 110, 110.0}}, 200, 2.0);
    decide_verdict(outcome, false, false);
    EXPECT_EQ(*outcome.variation_percent, 10.0);
    EXPECT_FALSE(outcome.unstable);
}

TEST(Verdict, TwentyPercentIsUnstable) {
    RunOutcome outcome = outcome_with({{1.0, 1.0, 80, 80.0}, {2.0, 1.0, 120, 120.0}}, 200, 2.0);
    decide_verdict(outcome, false, false);
    EXPECT_EQ(*outcome.variation_percent, 20.0);
    EXPECT_TRUE(outcome.unstable);
}

TEST(Verdict, VariationIsWeightedByIntervalLength) {
    // 3 s at 100/s then 1 s at 200/s: overall 125/s.
    RunOutcome outcome = outcome_with({{3.0, 3.0, 300, 100.0}, {4.0, 1.0, 200, 200.0}}, 500, 4.0);
    decide_verdict(outcome, false, false);
    EXPECT_EQ(*outcome.ops_per_second, 125.0);
    const double expected = std::sqrt((25.0 * 25.0 * 3.0 + 75.0 * 75.0 * 1.0) / 4.0) / 125.0 * 100.0;
    EXPECT_DOUBLE_EQ(*outcome.variation_percent, expected);
}

TEST(Verdict, FailedWorkerBeatsCancellation) {
    RunOutcome outcome = outcome_with({{1.0, 1.0, 100, 100.0}}, 100, 1.0);
    decide_verdict(outcome, true, true);
    EXPECT_EQ(outcome.status, status_failed);
    EXPECT_EQ(outcome.message, "a benchmark worker panicked");
    EXPECT_FALSE(outcome.ops_per_second);
    EXPECT_EQ(outcome.total_operations, 100u);  // what was measured is still reported
}

TEST(Verdict, CancellationBeatsTooShortWindow) {
    RunOutcome outcome = outcome_with({}, 0, 0.0);
    decide_verdict(outcome, false, true);
    EXPECT_EQ(outcome.status, status_cancelled);
    EXPECT_EQ(outcome.message, "cancelled");
    EXPECT_FALSE(outcome.variation_percent);
}

TEST(Verdict, NoMeasuredWorkOrNoMeasuredTimeIsTooShort) {
    for (auto [total, measured] : {std::pair<std::uint64_t, double>{0, 1.0}, {8, 0.0}}) {
        RunOutcome outcome = outcome_with({}, total, measured);
        decide_verdict(outcome, false, false);
        EXPECT_EQ(outcome.status, status_failed);
        EXPECT_EQ(outcome.message, "measurement window was too short to complete any work");
        EXPECT_FALSE(outcome.ops_per_second);
    }
}

TEST(Totals, SumMaxAndXorOverWorkers) {
    WorkerCounters a, b;
    a.measured_ops = 16;
    a.active_nanos = 1500000000;
    a.checksum = 0xF0;
    b.measured_ops = 8;
    b.active_nanos = 2000000000;
    b.checksum = 0x0F;
    const WorkerCounters* both[] = {&a, &b};
    const RunTotals totals = sum_counters(both);
    EXPECT_EQ(totals.total_operations, 24u);
    EXPECT_EQ(totals.measured_seconds, 2.0);
    EXPECT_EQ(totals.checksum, 0xFFu);

    const RunTotals none = sum_counters({});
    EXPECT_EQ(none.total_operations, 0u);
    EXPECT_EQ(none.measured_seconds, 0.0);
}

}  // namespace
}  // namespace quorlind
