#include "csv_output.hpp"
#include "json_output.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quorlind::bench {
namespace {

RunRecord sample_record() {
    RunRecord record;
    record.host_version = "0.0.2";
    record.config = {QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, QUORLIND_BENCHMARK_SINGLE, 0, 0.0, 0.3};
    record.summary.abi_version = QUORLIND_ABI_VERSION;
    record.summary.status = QUORLIND_STATUS_COMPLETED;
    record.summary.benchmark = QUORLIND_BENCHMARK_SINGLE;
    record.summary.workers = 1;
    record.summary.ops_per_second = 1.0 / 3.0 * 3e7;
    record.summary.measurement_seconds = 0.3;
    record.summary.measured_seconds = 0.30000000000000004;
    record.summary.variation_percent = 2.5;
    record.summary.has_variation = 1;
    record.summary.total_operations = 9000001;
    record.summary.checksum = 0xfedcba9876543210ull; // above 2^63: must survive as unsigned
    record.summary.sample_count = 2;
    record.samples = {{0.1, 0.1, 3000000, 3e7}, {0.30000000000000004, 0.20000000000000004, 6000001, 30000004.9}};
    record.reason = "";
    record.system = {"Test CPU", 2, "Linux", "0.0.2", 1};
    record.notes = {"the load average is 3.00 before the run"};
    return record;
}

TEST(JsonOutput, RoundTripsEveryField) {
    const RunRecord record = sample_record();
    const auto json = nlohmann::json::parse(to_json(record).dump(2));

    EXPECT_EQ(json["configuration"]["threads"], "single");
    EXPECT_EQ(json["configuration"]["measurement_seconds"].get<double>(), 0.3);
    EXPECT_EQ(json["system"]["logical_processors"], 2);
    EXPECT_EQ(json["status"]["name"], "completed");

    const auto &summary = json["summary"];
    EXPECT_EQ(summary["ops_per_second"].get<double>(), record.summary.ops_per_second);
    EXPECT_EQ(summary["measured_seconds"].get<double>(), record.summary.measured_seconds);
    EXPECT_EQ(summary["variation_percent"].get<double>(), 2.5);
    EXPECT_EQ(summary["total_operations"].get<std::uint64_t>(), 9000001u);
    EXPECT_EQ(summary["checksum"].get<std::uint64_t>(), 0xfedcba9876543210ull);
    EXPECT_EQ(summary["checksum_hex"], "0xfedcba9876543210");
    EXPECT_EQ(summary["has_variation"], 1);

    ASSERT_EQ(json["samples"].size(), 2u);
    EXPECT_EQ(json["samples"][1]["end_seconds"].get<double>(), record.samples[1].end_seconds);
    EXPECT_EQ(json["samples"][1]["duration_seconds"].get<double>(), record.samples[1].duration_seconds);
    EXPECT_EQ(json["samples"][1]["operations"], 6000001);
    EXPECT_EQ(json["samples"][1]["ops_per_second"].get<double>(), 30000004.9);
    EXPECT_EQ(json["notes"].size(), 1u);
}

TEST(JsonOutput, CancelledRunCarriesReasonAndNoVariation) {
    RunRecord record = sample_record();
    record.summary.status = QUORLIND_STATUS_CANCELLED;
    record.summary.has_variation = 0;
    record.summary.variation_percent = 0.0;
    record.samples.clear();
    record.reason = "cancelled during warm-up";
    const auto json = nlohmann::json::parse(to_json(record).dump());
    EXPECT_EQ(json["status"]["name"], "cancelled");
    EXPECT_EQ(json["status"]["code"], 1);
    EXPECT_EQ(json["status"]["reason"], "cancelled during warm-up");
    EXPECT_TRUE(json["summary"]["variation_percent"].is_null());
    EXPECT_TRUE(json["samples"].is_array());
    EXPECT_TRUE(json["samples"].empty());
}

TEST(CsvOutput, HeaderAndOneExactRowPerSample) {
    const RunRecord record = sample_record();
    std::ostringstream out;
    write_samples_csv(out, record.samples);
    std::istringstream lines(out.str());
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "interval,end_seconds,duration_seconds,operations,ops_per_second");
    std::getline(lines, line);
    EXPECT_EQ(line, "0,0.1,0.1,3000000,30000000");
    std::getline(lines, line);
    EXPECT_EQ(line, "1,0.30000000000000004,0.20000000000000004,6000001,30000004.9");
    EXPECT_FALSE(std::getline(lines, line));

    std::ostringstream empty;
    write_samples_csv(empty, {});
    EXPECT_EQ(empty.str(), "interval,end_seconds,duration_seconds,operations,ops_per_second\n");
}

} // namespace
} // namespace quorlind::bench
