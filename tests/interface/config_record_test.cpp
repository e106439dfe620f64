// The configuration record as hosts pass it: records shorter than the
// library's own, placed so that one byte too many read faults, and what the
// summary reports after each kind of rejection.
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "../support/guarded_bytes.h"
#include "../support/host_side.h"
#include "../support/summary_checks.h"
#include "quorlind.h"

namespace {

using quorlind::testing::config_of;
using quorlind::testing::GuardedBytes;
using quorlind::testing::OwnedHandle;

// A summary read into bytes that were not zero: every field must be written.
QuorlindRunSummary summary_over_garbage(const OwnedHandle& handle) {
    QuorlindRunSummary summary;
    std::memset(&summary, 0xA5, sizeof summary);
    EXPECT_EQ(quorlind_result(handle.get(), &summary), 1);
    return summary;
}

void expect_rejected_summary(const QuorlindRunSummary& summary) {
    EXPECT_EQ(summary.abi_version, 1u);
    EXPECT_EQ(summary.status, QUORLIND_STATUS_FAILED);
    EXPECT_EQ(summary.workers, 0u);
    quorlind::testing::expect_nothing_measured(summary);
}

// A host built against a shorter record says so in `struct_size`; its record
// may end where the next page is inaccessible. It is refused without a byte
// past `struct_size` being read.
TEST(ConfigRecord, ShorterRecordAtAnInaccessiblePageIsRefusedUnread) {
    for (std::uint32_t size : {8u, 16u, 24u}) {
        SCOPED_TRACE("struct_size " + std::to_string(size));
        GuardedBytes record(size);
        std::memset(record.data(), 0, size);
        const std::uint32_t header[2] = {QUORLIND_ABI_VERSION, size};
        std::memcpy(record.data(), header, sizeof header);
        if (size >= 16) {
            const std::uint32_t benchmark[2] = {QUORLIND_BENCHMARK_PER_CPU, 0};
            std::memcpy(record.data() + 8, benchmark, sizeof benchmark);
        }
        if (size >= 24) {
            const double warmup = 2.0;
            std::memcpy(record.data() + 16, &warmup, sizeof warmup);
        }

        OwnedHandle run;
        const auto* config = reinterpret_cast<const QuorlindRunConfig*>(record.data());
        EXPECT_EQ(quorlind_run(run.get(), config, nullptr, nullptr), QUORLIND_STATUS_FAILED);
        EXPECT_EQ(run.reason(), "incompatible C ABI/config size");
        const QuorlindRunSummary summary = summary_over_garbage(run);
        expect_rejected_summary(summary);
        EXPECT_EQ(summary.benchmark, 1u);
        EXPECT_EQ(summary.warmup_seconds, 120.0);
        EXPECT_EQ(summary.measurement_seconds, 60.0);
    }
}

// The full record read up to its last byte and not one further.
TEST(ConfigRecord, FullRecordAtAnInaccessiblePageRuns) {
    GuardedBytes record(sizeof(QuorlindRunConfig));
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 0.02);
    std::memcpy(record.data(), &config, sizeof config);

    OwnedHandle run;
    const auto* placed = reinterpret_cast<const QuorlindRunConfig*>(record.data());
    const std::uint32_t status = quorlind_run(run.get(), placed, nullptr, nullptr);
    EXPECT_TRUE(status == QUORLIND_STATUS_COMPLETED ||
                run.reason() == "measurement window was too short to complete any work")
        << run.reason();
    EXPECT_EQ(run.summary().measurement_seconds, 0.02);
}

TEST(ConfigRecord, EveryRejectionLeavesAZeroMeasuredSummary) {
    auto with = [](auto change) {
        QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 1.5, 2.5);
        change(config);
        return config;
    };
    const QuorlindRunConfig rejected[] = {
        with([](auto& c) { c.abi_version = 2; }),
        with([](auto& c) { c.struct_size = 64; }),
        with([](auto& c) { c.benchmark = 3; }),
        with([](auto& c) { c.reserved = 1; }),
        with([](auto& c) { c.warmup_seconds = std::numeric_limits<double>::quiet_NaN(); }),
        with([](auto& c) { c.measurement_seconds = 0.0; }),
    };
    for (const QuorlindRunConfig& config : rejected) {
        OwnedHandle run;
        EXPECT_EQ(quorlind_run(run.get(), &config, nullptr, nullptr), QUORLIND_STATUS_FAILED);
        SCOPED_TRACE(run.reason());
        expect_rejected_summary(summary_over_garbage(run));
    }

    OwnedHandle unconfigured;
    EXPECT_EQ(quorlind_run(unconfigured.get(), nullptr, nullptr, nullptr), QUORLIND_STATUS_FAILED);
    expect_rejected_summary(summary_over_garbage(unconfigured));
}

}  // namespace
