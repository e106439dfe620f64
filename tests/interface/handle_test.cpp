#include "quorlind.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "../support/summary_checks.h"

namespace {

// Owns one handle for the length of a test.
class Handle {
public:
    Handle() : handle_(quorlind_create()) {}
    ~Handle() { quorlind_free(handle_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    QuorlindRunHandle* get() const { return handle_; }

private:
    QuorlindRunHandle* handle_;
};

template <class Record>
Record filled_with_pattern() {
    Record record;
    std::memset(&record, 0xAB, sizeof record);
    return record;
}

template <class Record>
bool still_pattern(const Record& record) {
    const Record pattern = filled_with_pattern<Record>();
    return std::memcmp(&record, &pattern, sizeof record) == 0;
}

template <class Record>
bool same_bytes(const Record& a, const Record& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Valid and short, so that nothing but the cancellation can end it early.
QuorlindRunConfig short_config() {
    QuorlindRunConfig config;
    quorlind_default_config(&config);
    config.warmup_seconds = 0.0;
    config.measurement_seconds = 0.05;
    return config;
}

void count_event(const QuorlindProgressEvent*, void* user_data) { ++*static_cast<int*>(user_data); }

TEST(FreshHandle, HasNoOutcomeAndLeavesOutputsUntouched) {
    Handle handle;
    ASSERT_NE(handle.get(), nullptr);

    QuorlindRunSummary summary = filled_with_pattern<QuorlindRunSummary>();
    EXPECT_EQ(quorlind_result(handle.get(), &summary), 0);
    EXPECT_TRUE(still_pattern(summary));

    QuorlindIntervalSample sample = filled_with_pattern<QuorlindIntervalSample>();
    EXPECT_EQ(quorlind_sample(handle.get(), 0, &sample), 0);
    EXPECT_EQ(quorlind_sample(handle.get(), UINT64_MAX, &sample), 0);
    EXPECT_TRUE(still_pattern(sample));

    EXPECT_EQ(quorlind_reason(handle.get()), nullptr);
}

TEST(FreshHandle, CancelCanBeCalledAnyNumberOfTimes) {
    Handle handle;
    for (int i = 0; i < 5; ++i) {
        quorlind_cancel(handle.get());
    }

    QuorlindRunSummary summary = filled_with_pattern<QuorlindRunSummary>();
    EXPECT_EQ(quorlind_result(handle.get(), &summary), 0);
    EXPECT_TRUE(still_pattern(summary));
    EXPECT_EQ(quorlind_reason(handle.get()), nullptr);
}

TEST(FreshHandle, HandlesAreDistinct) {
    Handle a;
    Handle b;
    EXPECT_NE(a.get(), b.get());
}

TEST(NullArguments, EveryExportAcceptsANullHandle) {
    QuorlindRunSummary summary = filled_with_pattern<QuorlindRunSummary>();
    EXPECT_EQ(quorlind_result(nullptr, &summary), 0);
    EXPECT_TRUE(still_pattern(summary));

    QuorlindIntervalSample sample = filled_with_pattern<QuorlindIntervalSample>();
    EXPECT_EQ(quorlind_sample(nullptr, 0, &sample), 0);
    EXPECT_TRUE(still_pattern(sample));

    EXPECT_EQ(quorlind_reason(nullptr), nullptr);
    quorlind_cancel(nullptr);
    quorlind_free(nullptr);

    const QuorlindRunConfig config = short_config();
    int events = 0;
    EXPECT_EQ(quorlind_run(nullptr, &config, &count_event, &events), QUORLIND_STATUS_FAILED);
    EXPECT_EQ(quorlind_run(nullptr, nullptr, nullptr, nullptr), QUORLIND_STATUS_FAILED);
    EXPECT_EQ(events, 0);
}

TEST(NullArguments, NullOutputsReturnZeroWithOrWithoutAnOutcome) {
    Handle handle;
    EXPECT_EQ(quorlind_result(handle.get(), nullptr), 0);
    EXPECT_EQ(quorlind_sample(handle.get(), 0, nullptr), 0);

    quorlind_cancel(handle.get());
    const QuorlindRunConfig config = short_config();
    ASSERT_EQ(quorlind_run(handle.get(), &config, nullptr, nullptr), QUORLIND_STATUS_CANCELLED);

    EXPECT_EQ(quorlind_result(handle.get(), nullptr), 0);
    EXPECT_EQ(quorlind_sample(handle.get(), 0, nullptr), 0);
}

TEST(CancelledBeforeRun, EndsAsCancelledBeforeStartingWithoutWork) {
    Handle handle;
    quorlind_cancel(handle.get());
    quorlind_cancel(handle.get());

    const QuorlindRunConfig config = short_config();
    int events = 0;
    EXPECT_EQ(quorlind_run(handle.get(), &config, &count_event, &events), QUORLIND_STATUS_CANCELLED);
    EXPECT_EQ(events, 0);

    const char* reason = quorlind_reason(handle.get());
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(std::string(reason), "cancelled before starting");

    QuorlindRunSummary summary = filled_with_pattern<QuorlindRunSummary>();
    ASSERT_EQ(quorlind_result(handle.get(), &summary), 1);
    EXPECT_EQ(summary.abi_version, 1u);
    EXPECT_EQ(summary.status, QUORLIND_STATUS_CANCELLED);
    EXPECT_EQ(summary.benchmark, QUORLIND_BENCHMARK_SINGLE);
    EXPECT_EQ(summary.workers, 1u);
    EXPECT_EQ(summary.warmup_seconds, 0.0);
    EXPECT_EQ(summary.measurement_seconds, 0.05);
    quorlind::testing::expect_nothing_measured(summary);

    QuorlindIntervalSample sample = filled_with_pattern<QuorlindIntervalSample>();
    EXPECT_EQ(quorlind_sample(handle.get(), summary.sample_count, &sample), 0);
    EXPECT_TRUE(still_pattern(sample));
}

TEST(FinishedHandle, SecondRunIsRefusedAndChangesNothing) {
    Handle handle;
    quorlind_cancel(handle.get());
    const QuorlindRunConfig config = short_config();
    ASSERT_EQ(quorlind_run(handle.get(), &config, nullptr, nullptr), QUORLIND_STATUS_CANCELLED);

    QuorlindRunSummary before{};
    ASSERT_EQ(quorlind_result(handle.get(), &before), 1);
    const char* reason = quorlind_reason(handle.get());
    ASSERT_NE(reason, nullptr);

    int events = 0;
    EXPECT_EQ(quorlind_run(handle.get(), &config, &count_event, &events), QUORLIND_STATUS_FAILED);
    EXPECT_EQ(quorlind_run(handle.get(), nullptr, nullptr, nullptr), QUORLIND_STATUS_FAILED);
    EXPECT_EQ(events, 0);

    QuorlindRunSummary after = filled_with_pattern<QuorlindRunSummary>();
    ASSERT_EQ(quorlind_result(handle.get(), &after), 1);
    EXPECT_TRUE(same_bytes(before, after));
    EXPECT_EQ(quorlind_reason(handle.get()), reason);
    EXPECT_EQ(std::string(reason), "cancelled before starting");
}

TEST(FinishedHandle, CancelAfterTheRunChangesNothing) {
    Handle handle;
    quorlind_cancel(handle.get());
    const QuorlindRunConfig config = short_config();
    ASSERT_EQ(quorlind_run(handle.get(), &config, nullptr, nullptr), QUORLIND_STATUS_CANCELLED);

    QuorlindRunSummary before{};
    ASSERT_EQ(quorlind_result(handle.get(), &before), 1);
    const char* reason = quorlind_reason(handle.get());

    quorlind_cancel(handle.get());
    quorlind_cancel(handle.get());

    QuorlindRunSummary after = filled_with_pattern<QuorlindRunSummary>();
    ASSERT_EQ(quorlind_result(handle.get(), &after), 1);
    EXPECT_TRUE(same_bytes(before, after));
    EXPECT_EQ(quorlind_reason(handle.get()), reason);
    EXPECT_EQ(std::string(quorlind_reason(handle.get())), "cancelled before starting");
}

}  // namespace
