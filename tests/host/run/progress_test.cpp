#include "run/progress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr RunDurations plan{10.0, 20.0};

QuorlindProgressEvent event(std::uint32_t phase, double phase_elapsed, std::uint64_t operations) {
    const double done = phase == QUORLIND_PHASE_WARMUP ? phase_elapsed : plan.warmup_seconds + phase_elapsed;
    return {phase,
            2,
            std::min(done / 30.0, 1.0),
            phase_elapsed,
            phase == QUORLIND_PHASE_WARMUP ? plan.warmup_seconds : plan.measurement_seconds,
            operations};
}

TEST(Progress, LineShowsPhasePercentTimesAndLiveRate) {
    const std::string line =
        describe_progress(event(QUORLIND_PHASE_MEASUREMENT, 5.0, 60000000), plan, 15.4, 10);
    EXPECT_THAT(line, HasSubstr("measurement"));
    EXPECT_THAT(line, HasSubstr("[#####.....]"));
    EXPECT_THAT(line, HasSubstr(" 50%"));
    EXPECT_THAT(line, HasSubstr("elapsed 0:15"));
    EXPECT_THAT(line, HasSubstr("left 0:15"));
    EXPECT_THAT(line, HasSubstr("12,000,000 ops/s so far"));
}

// The first batches of a phase count against almost no time.
TEST(Progress, RateWaitsForTheFirstSecondOfThePhaseAndTheFinalOneIsTheRuns) {
    EXPECT_THAT(describe_progress(event(QUORLIND_PHASE_MEASUREMENT, 0.01, 5000000), plan, 10.01, 0),
                Not(HasSubstr("ops/s")));
    EXPECT_THAT(describe_progress(event(QUORLIND_PHASE_MEASUREMENT, 1.0, 5000000), plan, 11.0, 0),
                HasSubstr("5,000,000 ops/s so far"));
    const std::string final_line =
        describe_progress(event(QUORLIND_PHASE_COMPLETED, 20.0, 40000000), plan, 30.0, 0);
    EXPECT_THAT(final_line, HasSubstr("2,000,000 ops/s"));
    EXPECT_THAT(final_line, Not(HasSubstr("so far")));
}

TEST(Progress, RemainingTimeCountsTheMeasurementStillAhead) {
    EXPECT_DOUBLE_EQ(remaining_seconds(event(QUORLIND_PHASE_WARMUP, 4.0, 0), plan), 26.0);
    EXPECT_DOUBLE_EQ(remaining_seconds(event(QUORLIND_PHASE_MEASUREMENT, 15.0, 0), plan), 5.0);
    EXPECT_DOUBLE_EQ(remaining_seconds(event(QUORLIND_PHASE_MEASUREMENT, 25.0, 0), plan), 0.0);
    EXPECT_DOUBLE_EQ(remaining_seconds(event(QUORLIND_PHASE_CANCELLED, 3.0, 0), plan), 0.0);
    EXPECT_THAT(describe_progress(event(QUORLIND_PHASE_COMPLETED, 20.0, 1), plan, 31.0, 0),
                Not(HasSubstr("left")));
}

TEST(Progress, TerminalRedrawsInPlaceAtMostTenTimesASecond) {
    std::ostringstream out;
    ProgressReporter reporter(ProgressStyle::terminal, out, plan);
    for (int i = 0; i <= 100; ++i) {  // 100 events in one second
        reporter.on_event(event(QUORLIND_PHASE_WARMUP, i * 0.01, 1000), i * 0.01);
    }
    const std::string text = out.str();
    const auto redraws = std::count(text.begin(), text.end(), '\r');
    EXPECT_GE(redraws, 9);
    EXPECT_LE(redraws, 11);
    EXPECT_EQ(text.find('\n'), std::string::npos);

    reporter.on_event(event(QUORLIND_PHASE_COMPLETED, 20.0, 1000), 1.001);
    EXPECT_EQ(out.str().back(), '\n');
    EXPECT_THAT(out.str(), HasSubstr("completed"));
}

TEST(Progress, PlainOutputWritesPhaseChangesAndEveryFewSeconds) {
    std::ostringstream out;
    ProgressReporter reporter(ProgressStyle::plain, out, plan);
    for (int i = 0; i < 100; ++i) {  // 10 s of warm-up
        reporter.on_event(event(QUORLIND_PHASE_WARMUP, i * 0.1, 1000), i * 0.1);
    }
    reporter.on_event(event(QUORLIND_PHASE_MEASUREMENT, 0.05, 1000), 10.05);
    reporter.on_event(event(QUORLIND_PHASE_MEASUREMENT, 0.1, 1000), 10.1);
    reporter.on_event(event(QUORLIND_PHASE_COMPLETED, 20.0, 1000), 30.0);
    reporter.on_event(event(QUORLIND_PHASE_COMPLETED, 20.0, 1000), 30.1);
    const std::string text = out.str();
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              4);  // warm-up at 0 s and 5 s, measurement, completed
    EXPECT_THAT(text, HasSubstr("measurement"));
    EXPECT_THAT(text, HasSubstr("completed"));
}

TEST(Progress, LabelLeadsEveryLineOfARunInASeries) {
    std::ostringstream out;
    ProgressReporter reporter(ProgressStyle::plain, out, plan, "run 2 of 5");
    reporter.on_event(event(QUORLIND_PHASE_WARMUP, 0.0, 0), 0.0);
    reporter.on_event(event(QUORLIND_PHASE_COMPLETED, 20.0, 1000), 30.0);
    EXPECT_EQ(out.str().rfind("run 2 of 5  warm-up", 0), 0u) << out.str();
    EXPECT_THAT(out.str(), HasSubstr("\nrun 2 of 5  completed"));

    std::ostringstream lone;
    ProgressReporter unlabelled(ProgressStyle::plain, lone, plan);
    unlabelled.on_event(event(QUORLIND_PHASE_WARMUP, 0.0, 0), 0.0);
    EXPECT_EQ(lone.str().rfind("warm-up", 0), 0u);
}

}  // namespace
}  // namespace quorlind::bench
