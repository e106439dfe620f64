// quorlind_run as a host sees it: only the public header and the library.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../support/host_side.h"
#include "quorlind.h"

namespace {

using quorlind::testing::config_of;

struct Handle {
    QuorlindRunHandle* handle = quorlind_create();
    ~Handle() { quorlind_free(handle); }

    QuorlindRunSummary summary() {
        QuorlindRunSummary summary{};
        EXPECT_EQ(quorlind_result(handle, &summary), 1);
        return summary;
    }
    std::vector<QuorlindIntervalSample> samples() {
        std::vector<QuorlindIntervalSample> samples;
        QuorlindIntervalSample sample;
        while (quorlind_sample(handle, samples.size(), &sample)) {
            samples.push_back(sample);
        }
        return samples;
    }
    std::string reason() { return quorlind_reason(handle); }
};

struct EventLog {
    std::vector<QuorlindProgressEvent> events;
    std::vector<std::chrono::steady_clock::time_point> times;
    QuorlindRunHandle* cancel_on_warmup = nullptr;

    static void record(const QuorlindProgressEvent* event, void* user_data) {
        auto* log = static_cast<EventLog*>(user_data);
        log->events.push_back(*event);
        log->times.push_back(std::chrono::steady_clock::now());
        if (log->cancel_on_warmup && event->phase == QUORLIND_PHASE_WARMUP) {
            // The queries see no outcome while the run executes.
            QuorlindRunSummary summary;
            EXPECT_EQ(quorlind_result(log->cancel_on_warmup, &summary), 0);
            EXPECT_EQ(quorlind_reason(log->cancel_on_warmup), nullptr);
            quorlind_cancel(log->cancel_on_warmup);
        }
    }
};

void expect_samples_tile(const QuorlindRunSummary& summary,
                         const std::vector<QuorlindIntervalSample>& samples) {
    ASSERT_EQ(samples.size(), summary.sample_count);
    double previous_end = 0.0, duration = 0.0;
    uint64_t operations = 0;
    for (const auto& sample : samples) {
        EXPECT_GT(sample.duration_seconds, 0.0);
        EXPECT_NEAR(sample.end_seconds - sample.duration_seconds, previous_end, 1e-9);
        EXPECT_DOUBLE_EQ(sample.ops_per_second,
                         static_cast<double>(sample.operations) / sample.duration_seconds);
        previous_end = sample.end_seconds;
        duration += sample.duration_seconds;
        operations += sample.operations;
    }
    EXPECT_NEAR(duration, summary.measured_seconds, 1e-9);
    EXPECT_EQ(operations, summary.total_operations);
}

TEST(Run, ShortRunCompletesWithConsistentResults) {
    Handle run;
    EventLog log;
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.15, 0.35);
    ASSERT_EQ(quorlind_run(run.handle, &config, &EventLog::record, &log), QUORLIND_STATUS_COMPLETED)
        << run.reason();
    const QuorlindRunSummary summary = run.summary();
    EXPECT_EQ(summary.abi_version, 1u);
    EXPECT_EQ(summary.workers, 1u);
    EXPECT_EQ(summary.warmup_seconds, 0.15);
    EXPECT_EQ(summary.measurement_seconds, 0.35);
    EXPECT_GE(summary.measured_seconds, 0.35);
    EXPECT_GT(summary.total_operations, 0u);
    EXPECT_EQ(summary.total_operations % 8, 0u);
    EXPECT_NE(summary.checksum, 0u);
    EXPECT_EQ(summary.ops_per_second,
              static_cast<double>(summary.total_operations) / summary.measured_seconds);
    EXPECT_EQ(summary.sample_count, 1u);  // under a second: only the closing sample
    EXPECT_EQ(summary.has_variation, 0u);
    EXPECT_EQ(run.reason(), "");
    expect_samples_tile(summary, run.samples());

    // Events: warm-up first, then measurement, then one final event; ordered,
    // at most about ten a second, progress never past 1.
    ASSERT_GE(log.events.size(), 3u);
    EXPECT_EQ(log.events.front().phase, QUORLIND_PHASE_WARMUP);
    EXPECT_EQ(log.events.back().phase, QUORLIND_PHASE_COMPLETED);
    EXPECT_LE(log.events.size(), 2u + 6u);
    for (std::size_t i = 1; i + 1 < log.events.size(); ++i) {
        const auto& event = log.events[i];
        EXPECT_GE(event.phase, log.events[i - 1].phase);
        EXPECT_GE(event.progress, log.events[i - 1].progress);
        EXPECT_LE(event.progress, 1.0);
        EXPECT_LE(event.phase_elapsed_seconds, event.phase_seconds);
        // Throttled to one event per 100 ms of the engine's clock; the host's
        // clock sees the callbacks, which a busy machine delays unevenly.
        if (event.phase == log.events[i - 1].phase) {
            EXPECT_GE(log.times[i] - log.times[i - 1], std::chrono::milliseconds(50));
        }
    }
}

TEST(Run, SecondsLongRunHasAVariationConsistentWithItsSamples) {
    Handle run;
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_PER_CPU, 0.0, 2.2);
    ASSERT_EQ(quorlind_run(run.handle, &config, nullptr, nullptr), QUORLIND_STATUS_COMPLETED) << run.reason();
    const QuorlindRunSummary summary = run.summary();
    const auto samples = run.samples();
    EXPECT_GE(summary.workers, 1u);
    EXPECT_EQ(samples.size(), 3u);
    expect_samples_tile(summary, samples);
    ASSERT_EQ(summary.has_variation, 1u);
    double weighted = 0.0;
    for (const auto& sample : samples) {
        weighted += std::pow(sample.ops_per_second - summary.ops_per_second, 2) * sample.duration_seconds;
    }
    EXPECT_NEAR(summary.variation_percent,
                std::sqrt(weighted / summary.measured_seconds) / summary.ops_per_second * 100.0, 1e-9);
    EXPECT_EQ(summary.unstable, summary.variation_percent > 10.0 ? 1u : 0u);
}

TEST(Run, CancelFromTheCallbackDuringWarmup) {
    Handle run;
    EventLog log;
    log.cancel_on_warmup = run.handle;
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 30.0, 30.0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(quorlind_run(run.handle, &config, &EventLog::record, &log), QUORLIND_STATUS_CANCELLED);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(run.reason(), "cancelled");
    const QuorlindRunSummary summary = run.summary();
    EXPECT_EQ(summary.total_operations, 0u);
    EXPECT_EQ(summary.measured_seconds, 0.0);
    EXPECT_EQ(summary.sample_count, 0u);
    EXPECT_EQ(summary.ops_per_second, 0.0);
    EXPECT_EQ(log.events.back().phase, QUORLIND_PHASE_CANCELLED);
}

TEST(Run, CancelFromAnotherThreadDuringMeasurement) {
    Handle run;
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 30.0);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        quorlind_cancel(run.handle);
    });
    EXPECT_EQ(quorlind_run(run.handle, &config, nullptr, nullptr), QUORLIND_STATUS_CANCELLED);
    canceller.join();
    const QuorlindRunSummary summary = run.summary();
    EXPECT_EQ(run.reason(), "cancelled");
    EXPECT_GT(summary.total_operations, 0u);
    EXPECT_GT(summary.measured_seconds, 0.2);
    EXPECT_LT(summary.measured_seconds, 10.0);
    expect_samples_tile(summary, run.samples());

    quorlind_cancel(run.handle);  // after the run: nothing changes
    EXPECT_EQ(run.summary().total_operations, summary.total_operations);
}

TEST(Run, TwoHandlesOnTwoThreadsGiveOneRunAndOneRefusal) {
    Handle first, second;
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 0.6);
    std::atomic<bool> running{false};
    std::thread runner([&] {
        quorlind_run(
            first.handle, &config,
            [](const QuorlindProgressEvent*, void* flag) {
                static_cast<std::atomic<bool>*>(flag)->store(true);
            },
            &running);
    });
    while (!running.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(quorlind_run(second.handle, &config, nullptr, nullptr), QUORLIND_STATUS_FAILED);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(300));
    runner.join();
    EXPECT_EQ(second.reason(), "another benchmark is already running");
    EXPECT_EQ(second.summary().workers, 0u);
    EXPECT_EQ(first.summary().status, QUORLIND_STATUS_COMPLETED);
}

TEST(Run, ExtremeDurations) {
    Handle tiny;
    const QuorlindRunConfig tiny_config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 1e-12);
    EXPECT_EQ(quorlind_run(tiny.handle, &tiny_config, nullptr, nullptr), QUORLIND_STATUS_FAILED);
    EXPECT_EQ(tiny.reason(), "measurement duration must be positive");

    Handle huge;
    EventLog log;
    const QuorlindRunConfig huge_config = config_of(QUORLIND_BENCHMARK_SINGLE, 1e19, 1e19);
    EXPECT_EQ(quorlind_run(huge.handle, &huge_config, &EventLog::record, &log), QUORLIND_STATUS_FAILED);
    EXPECT_EQ(huge.reason(), "requested duration exceeds the monotonic clock range");
    EXPECT_EQ(huge.summary().workers, 1u);
    EXPECT_EQ(huge.summary().warmup_seconds, 1e19);
    EXPECT_TRUE(log.events.empty());

    // The engine was released: the next run is admitted and completes. Long
    // enough that its one worker gets a batch in under valgrind on a busy machine.
    Handle after;
    const QuorlindRunConfig quick = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 0.2);
    EXPECT_EQ(quorlind_run(after.handle, &quick, nullptr, nullptr), QUORLIND_STATUS_COMPLETED)
        << after.reason();
}

TEST(Run, OneNanosecondMeasurementEndsOnTheFirstPass) {
    Handle run;
    EventLog log;
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 1e-9);
    const uint32_t status = quorlind_run(run.handle, &config, &EventLog::record, &log);
    // A batch may or may not have started within the nanosecond.
    EXPECT_TRUE(status == QUORLIND_STATUS_COMPLETED || status == QUORLIND_STATUS_FAILED);
    if (status == QUORLIND_STATUS_FAILED) {
        EXPECT_EQ(run.reason(), "measurement window was too short to complete any work");
    }
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0].phase, QUORLIND_PHASE_MEASUREMENT);
}

TEST(Run, RefusedSecondRunLeavesTheFirstOutcomeAlone) {
    Handle run;
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 0.05);
    ASSERT_EQ(quorlind_run(run.handle, &config, nullptr, nullptr), QUORLIND_STATUS_COMPLETED);
    const QuorlindRunSummary before = run.summary();
    const char* reason = quorlind_reason(run.handle);
    EXPECT_EQ(quorlind_run(run.handle, &config, nullptr, nullptr), QUORLIND_STATUS_FAILED);
    const QuorlindRunSummary after = run.summary();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(quorlind_reason(run.handle), reason);
}

}  // namespace
