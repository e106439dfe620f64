// Real short runs through the library, with progress and Ctrl-C handled
// in-process as the tool handles them.
#include "run/series.h"

#include "run/interrupt.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr int second_interrupt_exit_code = 143;

QuorlindRunConfig short_run(std::uint32_t benchmark, double measurement_seconds) {
    QuorlindRunConfig config{};
    quorlind_default_config(&config);
    config.benchmark = benchmark;
    config.warmup_seconds = 0.0;
    config.measurement_seconds = measurement_seconds;
    return config;
}

// Progress output that presses Ctrl-C when a word first appears in it, on
// whichever thread the library reports progress from.
class CtrlCOnWord : public std::stringbuf {
public:
    explicit CtrlCOnWord(std::string word) : word_(std::move(word)) {}

protected:
    int sync() override {
        if (!pressed_ && str().find(word_) != std::string::npos) {
            pressed_ = true;
            on_interrupt(130);
        }
        return 0;
    }

private:
    std::string word_;
    bool pressed_ = false;
};

TEST(Series, ShortRunsOfBothKindsCompleteWithTheirProgress) {
    install_interrupt_handling();
    ResultRecord result;
    std::ostringstream progress;
    run_series(result,
               {short_run(QUORLIND_BENCHMARK_SINGLE, 0.2), short_run(QUORLIND_BENCHMARK_PER_CPU, 0.2)},
               ProgressStyle::plain, progress);

    ASSERT_EQ(result.runs.size(), 2u);
    for (std::size_t i = 0; i < result.runs.size(); ++i) {
        const RunRecord& run = result.runs[i];
        EXPECT_EQ(run.index, i);
        EXPECT_EQ(run.summary.status, QUORLIND_STATUS_COMPLETED) << run.reason;
        EXPECT_EQ(run.summary.benchmark, run.config.benchmark);
        EXPECT_GT(run.summary.ops_per_second, 0.0);
        ASSERT_FALSE(run.samples.empty());
        EXPECT_EQ(run.samples.size(), run.summary.sample_count);
        EXPECT_NEAR(run.samples.back().end_seconds, run.summary.measured_seconds, 1e-6);
    }
    const std::string text = "\n" + progress.str();
    EXPECT_THAT(text, Not(HasSubstr("\r")));
    EXPECT_THAT(text, HasSubstr("\nrun 1 of 2  measurement "));
    EXPECT_THAT(text, HasSubstr("\nrun 1 of 2  completed "));
    EXPECT_THAT(text, HasSubstr("\nrun 2 of 2  completed "));
}

TEST(Series, CtrlCInMeasurementCancelsTheRunAndEndsTheSeries) {
    install_interrupt_handling();
    ResultRecord result;
    CtrlCOnWord buffer("measurement");
    std::ostream progress(&buffer);
    const auto start = std::chrono::steady_clock::now();
    // Long enough that only the cancellation can end them in time.
    run_series(result,
               {short_run(QUORLIND_BENCHMARK_SINGLE, 60.0), short_run(QUORLIND_BENCHMARK_SINGLE, 60.0)},
               ProgressStyle::plain, progress);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_LT(elapsed.count(), 30.0) << "the measurement was not cut short";
    EXPECT_TRUE(interrupt_requested());
    ASSERT_EQ(result.runs.size(), 1u) << "no run starts after Ctrl-C";
    const RunRecord& run = result.runs.front();
    EXPECT_EQ(run.summary.status, QUORLIND_STATUS_CANCELLED);
    EXPECT_TRUE(is_partial(run));
    EXPECT_LT(run.summary.measured_seconds, 30.0);
    EXPECT_EQ(run.samples.size(), run.summary.sample_count);
    EXPECT_THAT(buffer.str(), HasSubstr("run 1 of 2  cancelled "));
    EXPECT_THAT(buffer.str(), Not(HasSubstr("run 2 of 2")));
}

TEST(SeriesDeathTest, ALaterInterruptQuitsAtOnceWithItsExitCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            install_interrupt_handling();
            on_interrupt(130);
            on_interrupt(130);  // together with the first: one interrupt
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            on_interrupt(second_interrupt_exit_code);
        },
        ::testing::ExitedWithCode(second_interrupt_exit_code), "");
}

}  // namespace
}  // namespace quorlind::bench
