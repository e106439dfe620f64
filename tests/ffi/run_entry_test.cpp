#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "../lib/fake_environment.h"
#include "../support/engine_probe.h"
#include "ffi/run_entry.h"

namespace quorlind {
namespace {

QuorlindRunConfig valid_config(double warmup = 0.0, double measurement = 0.05) {
    return {QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, QUORLIND_BENCHMARK_SINGLE, 0, warmup, measurement};
}

struct Entry {
    QuorlindRunHandle handle;
    std::shared_ptr<testing::FakeEnvironment> environment = std::make_shared<testing::FakeEnvironment>();

    std::uint32_t run(const QuorlindRunConfig* config) {
        return run_entry(&handle, config, nullptr, nullptr, [this] { return environment; });
    }
    const RunOutcome& outcome() { return *handle.outcome; }
};

struct Rejection {
    QuorlindRunConfig config;
    const char* message;
    std::uint32_t benchmark;
    double warmup, measurement;
};

TEST(RunEntry, EachValidationCheckHasItsMessageAndSummary) {
    auto with = [](auto change) {
        QuorlindRunConfig config = valid_config(1.5, 2.5);
        change(config);
        return config;
    };
    const double nan = std::nan("");
    const Rejection rejections[] = {
        {with([](auto& c) { c.struct_size = 31; }), "incompatible C ABI/config size", 1, 120.0, 60.0},
        {with([](auto& c) { c.struct_size = 64; }), "incompatible C ABI/config size", 1, 120.0, 60.0},
        {with([](auto& c) { c.abi_version = 0; }), "incompatible C ABI/config size", 1, 120.0, 60.0},
        {with([](auto& c) { c.abi_version = 2; }), "incompatible C ABI/config size", 1, 120.0, 60.0},
        {with([](auto& c) { c.benchmark = 0; }), "unknown benchmark", 1, 1.5, 2.5},
        {with([](auto& c) {
             c.benchmark = 3;
             c.reserved = 9;
         }),
         "unknown benchmark", 1, 1.5, 2.5},
        {with([](auto& c) {
             c.benchmark = 2;
             c.reserved = 1;
             c.warmup_seconds = -1;
         }),
         "reserved config field must be zero", 2, -1.0, 2.5},
        {with([](auto& c) { c.warmup_seconds = -1e-300; }),
         "durations must be finite: warmup >= 0, measurement > 0", 1, -1e-300, 2.5},
        {with([](auto& c) { c.measurement_seconds = 0.0; }),
         "durations must be finite: warmup >= 0, measurement > 0", 1, 1.5, 0.0},
        {with([](auto& c) { c.measurement_seconds = -0.0; }),
         "durations must be finite: warmup >= 0, measurement > 0", 1, 1.5, -0.0},
        {with([](auto& c) { c.warmup_seconds = 18446744073709551616.0; }),
         "durations must be finite: warmup >= 0, measurement > 0", 1, 18446744073709551616.0, 2.5},
        {with([](auto& c) { c.measurement_seconds = std::numeric_limits<double>::infinity(); }),
         "durations must be finite: warmup >= 0, measurement > 0", 1, 1.5,
         std::numeric_limits<double>::infinity()},
    };
    for (const Rejection& rejection : rejections) {
        Entry entry;
        EXPECT_EQ(entry.run(&rejection.config), status_failed);
        const RunOutcome& outcome = entry.outcome();
        EXPECT_EQ(outcome.message, rejection.message);
        EXPECT_EQ(outcome.reason, rejection.message);
        EXPECT_EQ(outcome.benchmark, rejection.benchmark) << rejection.message;
        EXPECT_EQ(std::memcmp(&outcome.warmup_seconds, &rejection.warmup, sizeof(double)), 0)
            << rejection.message;
        EXPECT_EQ(std::memcmp(&outcome.measurement_seconds, &rejection.measurement, sizeof(double)), 0);
        EXPECT_EQ(outcome.workers, 0u);
        EXPECT_TRUE(outcome.samples.empty());
        EXPECT_EQ(entry.environment->spawned.load(), 0);
    }

    Entry nan_entry;
    QuorlindRunConfig nan_config = valid_config(0.0, nan);
    nan_entry.run(&nan_config);
    EXPECT_EQ(nan_entry.outcome().message, "durations must be finite: warmup >= 0, measurement > 0");
    EXPECT_TRUE(std::isnan(nan_entry.outcome().measurement_seconds));
}

TEST(RunEntry, NullConfigReportsTheDefaults) {
    Entry entry;
    EXPECT_EQ(entry.run(nullptr), status_failed);
    EXPECT_EQ(entry.outcome().message, "config is null");
    EXPECT_EQ(entry.outcome().benchmark, 1u);
    EXPECT_EQ(entry.outcome().warmup_seconds, 120.0);
    EXPECT_EQ(entry.outcome().measurement_seconds, 60.0);
    EXPECT_TRUE(entry.handle.busy.load()) << "the handle cannot run again";
}

TEST(RunEntry, TinyPositiveMeasurementIsRefusedByTheEngine) {
    // The double nearest to 5e-10 lies just above half a nanosecond: 1 ns.
    for (double below_half : {1e-12, 4.999999999999999e-10}) {
        Entry entry;
        const QuorlindRunConfig config = valid_config(0.0, below_half);
        EXPECT_EQ(entry.run(&config), status_failed);
        EXPECT_EQ(entry.outcome().message, "measurement duration must be positive");
        EXPECT_EQ(entry.outcome().measurement_seconds, below_half);
        EXPECT_FALSE(testing::engine_busy());
    }
    Entry entry;
    const QuorlindRunConfig config = valid_config(0.0, 5e-10);
    if (entry.run(&config) != status_completed) {
        EXPECT_EQ(entry.outcome().message, "measurement window was too short to complete any work");
    }
    EXPECT_EQ(entry.outcome().workers, 1u);
}

TEST(RunEntry, HostDurationsAreReportedBitForBit) {
    // None of these is a whole number of nanoseconds (1e-10 s runs no warm-up
    // at all), so the lengths the engine ran would read back differently. The
    // measurements leave a worker time for a batch under valgrind.
    for (const auto& [warmup, measurement] :
         {std::pair{1e-10, 0.20000000000123}, std::pair{0.1234567890123, 0.2000000000004}}) {
        Entry entry;
        const QuorlindRunConfig config = valid_config(warmup, measurement);
        EXPECT_EQ(entry.run(&config), status_completed) << entry.outcome().message;
        EXPECT_EQ(entry.outcome().warmup_seconds, warmup);
        EXPECT_EQ(entry.outcome().measurement_seconds, measurement);
        EXPECT_EQ(entry.outcome().reason, "");
    }
}

TEST(RunEntry, InternalFailureIsContainedAndTheNextRunAdmitted) {
    Entry entry;
    entry.environment->cpus_throws = true;
    QuorlindRunConfig config = valid_config(0.25, 0.5);
    config.benchmark = QUORLIND_BENCHMARK_PER_CPU;
    EXPECT_EQ(entry.run(&config), status_failed);
    EXPECT_EQ(entry.outcome().message, "native benchmark panicked");
    EXPECT_EQ(entry.outcome().reason, "native benchmark panicked");
    EXPECT_EQ(entry.outcome().benchmark, 2u);
    EXPECT_EQ(entry.outcome().warmup_seconds, 0.25);
    EXPECT_EQ(entry.outcome().workers, 0u);
    EXPECT_FALSE(testing::engine_busy());

    Entry next;
    const QuorlindRunConfig quick = valid_config();
    EXPECT_EQ(next.run(&quick), status_completed);
}

TEST(RunEntry, FailingToMakeTheEnvironmentIsContained) {
    QuorlindRunHandle handle;
    const QuorlindRunConfig config = valid_config(0.0, 0.5);
    const auto refuse = []() -> std::shared_ptr<RunEnvironment> {
        throw std::bad_alloc();
    };
    EXPECT_EQ(run_entry(&handle, &config, nullptr, nullptr, refuse), status_failed);
    ASSERT_TRUE(handle.outcome);
    EXPECT_EQ(handle.outcome->reason, "native benchmark panicked");
    EXPECT_EQ(handle.outcome->measurement_seconds, 0.5);
}

TEST(RunEntry, NulBytesInTheMessageBecomeSpacesInTheReason) {
    Entry entry;
    entry.environment->cpus_error = std::string("bad\0count\0", 10);
    QuorlindRunConfig config = valid_config();
    config.benchmark = QUORLIND_BENCHMARK_PER_CPU;
    entry.run(&config);
    const std::string prefix = "cannot determine available CPUs: ";
    EXPECT_EQ(entry.outcome().message, prefix + std::string("bad\0count\0", 10));
    EXPECT_EQ(entry.outcome().reason, prefix + "bad count ");
    EXPECT_EQ(std::strlen(entry.outcome().reason.c_str()), prefix.size() + 10);
}

TEST(RunEntry, SecondCallOnAHandleChangesNothing) {
    Entry entry;
    entry.run(nullptr);
    const std::string* reason = &entry.outcome().reason;
    const QuorlindRunConfig config = valid_config();
    EXPECT_EQ(entry.run(&config), status_failed);
    EXPECT_EQ(&entry.outcome().reason, reason);
    EXPECT_EQ(entry.outcome().message, "config is null");
    EXPECT_EQ(entry.environment->spawned.load(), 0);
}

}  // namespace
}  // namespace quorlind
