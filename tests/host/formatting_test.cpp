#include "number_format.hpp"
#include "report.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(NumberFormat, GroupsRatesClocksAndChecksums) {
    EXPECT_EQ(group_thousands(999), "999");
    EXPECT_EQ(group_thousands(12300000), "12,300,000");
    EXPECT_EQ(group_thousands(18446744073709551615ull), "18,446,744,073,709,551,615");
    EXPECT_EQ(format_rate(12345678.6), "12,345,679");
    EXPECT_EQ(format_rate(42.126), "42.13");
    EXPECT_EQ(format_rate(std::nan("")), "-");
    EXPECT_EQ(format_clock(59.9), "0:59");
    EXPECT_EQ(format_clock(3725.0), "1:02:05");
    EXPECT_EQ(format_clock(-3.0), "0:00");
    EXPECT_EQ(format_hex64(0xdeadbeefull), "0x00000000deadbeef");
}

TEST(NumberFormat, ExactNumbersReadBackUnchanged) {
    for (double value : {0.0, 0.1, 0.3, 1.0 / 3.0, 12299994.29991387, 3e7, 5e-324, 1e300}) {
        EXPECT_EQ(std::strtod(format_exact(value).c_str(), nullptr), value) << format_exact(value);
    }
    EXPECT_EQ(format_exact(3e7), "30000000");
    EXPECT_EQ(format_exact(0.25), "0.25");
}

QuorlindIntervalSample sample(double end, double duration, std::uint64_t operations) {
    return {end, duration, operations, static_cast<double>(operations) / duration};
}

TEST(JoinSamples, KeepsShortTablesAndTotalsOfLongOnes) {
    std::vector<QuorlindIntervalSample> samples;
    for (int i = 1; i <= 45; ++i) {
        samples.push_back(sample(i * 0.5, 0.5, 1000 + static_cast<std::uint64_t>(i)));
    }
    const auto rows = join_samples(samples, 20);
    ASSERT_LE(rows.size(), 20u);
    ASSERT_GT(rows.size(), 1u);
    std::uint64_t operations = 0;
    double duration = 0.0;
    for (const auto &row : rows) {
        operations += row.operations;
        duration += row.duration_seconds;
        EXPECT_DOUBLE_EQ(row.ops_per_second, static_cast<double>(row.operations) / row.duration_seconds);
    }
    EXPECT_EQ(operations, 45u * 1000u + 45u * 46u / 2u);
    EXPECT_DOUBLE_EQ(duration, 22.5);
    EXPECT_EQ(rows.back().end_seconds, samples.back().end_seconds);
}

RunRecord completed_record() {
    RunRecord record;
    record.summary.abi_version = QUORLIND_ABI_VERSION;
    record.summary.status = QUORLIND_STATUS_COMPLETED;
    record.summary.benchmark = QUORLIND_BENCHMARK_PER_CPU;
    record.summary.workers = 8;
    record.summary.ops_per_second = 24681357.9;
    record.summary.warmup_seconds = 2.0;
    record.summary.measurement_seconds = 3.0;
    record.summary.measured_seconds = 3.0;
    record.summary.variation_percent = 4.25;
    record.summary.has_variation = 1;
    record.summary.total_operations = 74044073;
    record.summary.checksum = 0x1234abcdull;
    record.samples = {sample(1.5, 1.5, 37000000), sample(3.0, 1.5, 37044073)};
    record.summary.sample_count = 2;
    record.system = {"Test CPU 9000", 8, "Linux 6.1 (x86_64)", "0.0.2", 1};
    return record;
}

std::string report_of(const RunRecord &record) {
    std::ostringstream out;
    write_report(out, record);
    return out.str();
}

TEST(Report, CompletedRunShowsEveryFigure) {
    auto record = completed_record();
    const std::string text = report_of(record);
    EXPECT_THAT(text, HasSubstr("completed"));
    EXPECT_THAT(text, HasSubstr("24,681,358 operations/s"));
    EXPECT_THAT(text, HasSubstr("Workers     8"));
    EXPECT_THAT(text, HasSubstr("3.000 s"));
    EXPECT_THAT(text, HasSubstr("4.25 % (stable)"));
    EXPECT_THAT(text, HasSubstr("74,044,073"));
    EXPECT_THAT(text, HasSubstr("0x000000001234abcd"));
    EXPECT_THAT(text, HasSubstr("37,044,073"));
    EXPECT_THAT(text, HasSubstr("Test CPU 9000, 8 logical processors, Linux 6.1 (x86_64), library 0.0.2"));

    record.summary.variation_percent = 12.5;
    record.summary.unstable = 1;
    EXPECT_THAT(report_of(record), HasSubstr("12.50 % (unstable: above 10 %)"));
    record.summary.has_variation = 0;
    record.summary.unstable = 0;
    EXPECT_THAT(report_of(record), HasSubstr("Variation   not available"));
}

TEST(Report, CancelledRunIsMarkedAndHasNoThroughput) {
    auto record = completed_record();
    record.summary.status = QUORLIND_STATUS_CANCELLED;
    record.summary.ops_per_second = 0.0;
    record.reason = "cancelled during warm-up";
    record.samples.clear();
    const std::string text = report_of(record);
    EXPECT_THAT(text, HasSubstr("cancelled (cancelled during warm-up)"));
    EXPECT_THAT(text, HasSubstr("did not complete"));
    EXPECT_THAT(text, HasSubstr("No intervals were measured"));
    EXPECT_THAT(text, Not(HasSubstr("operations/s")));
}

} // namespace
} // namespace quorlind::bench
