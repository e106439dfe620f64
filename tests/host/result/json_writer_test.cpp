#include "result/json_writer.h"
#include "result_fixtures.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quorlind::bench {
namespace {

using testing::cancelled_run;
using testing::completed_run;
using testing::failed_run;
using testing::one_run_result;
using testing::sample;
using testing::test_result;

constexpr std::uint32_t single = QUORLIND_BENCHMARK_SINGLE;
constexpr std::uint32_t all = QUORLIND_BENCHMARK_PER_CPU;

nlohmann::json parsed(const ResultRecord& result) {
    return nlohmann::json::parse(to_json(result_of_run(result)).dump(2));
}

TEST(JsonOutput, OneRunRoundTripsEveryField) {
    const ResultRecord result = one_run_result();
    const auto json = parsed(result);

    EXPECT_EQ(json["schema_version"], 3);
    EXPECT_EQ(json["tool"]["compiler"], "GCC");
    EXPECT_EQ(json["tool"]["build_type"], "Release");
    EXPECT_EQ(json["configuration"]["threads"], "single");
    EXPECT_EQ(json["configuration"]["repeat"], 1);
    EXPECT_EQ(json["configuration"]["measurement_seconds"].get<double>(), 0.3);
    EXPECT_EQ(json["system"]["logical_processors"], 8);
    ASSERT_EQ(json["runs"].size(), 1u);

    const auto& run = json["runs"][0];
    EXPECT_EQ(run["index"], 0);
    EXPECT_EQ(run["benchmark"], 1);
    EXPECT_EQ(run["threads"], "single");
    EXPECT_EQ(run["partial"], false);
    EXPECT_EQ(run["status"]["name"], "completed");
    const auto& summary = run["summary"];
    const RunRecord& record = result.runs[0];
    EXPECT_EQ(summary["ops_per_second"].get<double>(), record.summary.ops_per_second);
    EXPECT_EQ(summary["measured_seconds"].get<double>(), record.summary.measured_seconds);
    EXPECT_EQ(summary["variation_percent"].get<double>(), 2.5);
    EXPECT_EQ(summary["total_operations"].get<std::uint64_t>(), 9000001u);
    EXPECT_EQ(summary["checksum"].get<std::uint64_t>(), 0xfedcba9876543210ull);
    EXPECT_EQ(summary["checksum_hex"], "0xfedcba9876543210");
    EXPECT_EQ(summary["has_variation"], 1);

    ASSERT_EQ(run["samples"].size(), 2u);
    EXPECT_EQ(run["samples"][1]["end_seconds"].get<double>(), record.samples[1].end_seconds);
    EXPECT_EQ(run["samples"][1]["duration_seconds"].get<double>(), record.samples[1].duration_seconds);
    EXPECT_EQ(run["samples"][1]["operations"], 6000001);
    EXPECT_EQ(run["samples"][1]["ops_per_second"].get<double>(), 30000004.9);
    // Two intervals are too few for a trend.
    EXPECT_TRUE(run["stability"]["trend_percent"].is_null());
    EXPECT_EQ(run["stability"]["instability"], "none");

    const auto& statistics = json["statistics"];
    EXPECT_FALSE(statistics.contains("all"));
    EXPECT_EQ(statistics["single"]["runs"], 1);
    EXPECT_EQ(statistics["single"]["median"].get<double>(), record.summary.ops_per_second);
    EXPECT_TRUE(statistics["single"]["ci95_low"].is_null());
    EXPECT_TRUE(statistics["single"]["cv_percent"].is_null());
    EXPECT_TRUE(json["scaling"].is_null());
    EXPECT_EQ(json["notes"].size(), 1u);
}

TEST(JsonOutput, SystemRecordWritesUnknownValuesAsNull) {
    ResultRecord result = one_run_result();
    const auto known = parsed(result)["system"];
    EXPECT_EQ(known["start_time_utc"], "2024-03-01T12:30:05Z");
    EXPECT_EQ(known["host_name"], "bench-7");
    EXPECT_EQ(known["physical_cores"], 4);
    EXPECT_EQ(known["smt"], true);
    EXPECT_EQ(known["caches"]["l2"]["size_bytes"], 1280 * 1024);
    EXPECT_EQ(known["caches"]["l2"]["count"], 4);
    EXPECT_TRUE(known["caches"]["l3"].is_null());
    EXPECT_EQ(known["effective_clock_mhz"]["after"].get<double>(), 3500.0);
    EXPECT_EQ(known["governor"], "performance");
    EXPECT_EQ(known["hypervisor"]["present"], false);
    EXPECT_EQ(known["load_average"]["before"][2].get<double>(), 0.125);
    EXPECT_TRUE(known["load_average"]["after"].is_null());
    EXPECT_EQ(known["os_version"], "12 (bookworm)");
    EXPECT_EQ(known["library_compiler_version"], "12.2.0");

    result.system = SystemRecord{};
    const auto unknown = parsed(result)["system"];
    for (const char* member :
         {"start_time_utc", "monotonic_start_seconds", "host_name", "packages", "physical_cores", "smt",
          "numa_nodes", "base_frequency_mhz", "max_frequency_mhz", "governor", "boost", "os_name",
          "os_version", "os_build", "library_compiler", "library_compiler_version", "library_build_type"}) {
        ASSERT_TRUE(unknown.contains(member)) << member;
        EXPECT_TRUE(unknown[member].is_null()) << member;
    }
    EXPECT_TRUE(unknown["caches"]["l1d"].is_null());
    EXPECT_TRUE(unknown["effective_clock_mhz"]["before"].is_null());
    EXPECT_TRUE(unknown["hypervisor"]["present"].is_null());
    EXPECT_TRUE(unknown["load_average"]["before"].is_null());
}

TEST(JsonOutput, SeriesKeepsEveryRunWithStatisticsAndScaling) {
    ResultRecord result =
        test_result({completed_run(0, single, 100.0), completed_run(1, all, 500.0),
                     completed_run(2, single, 110.0), failed_run(3, all, "cannot start worker: no"),
                     completed_run(4, single, 90.0), cancelled_run(5, all, 4000)},
                    ThreadMode::both, 3);
    const auto json = parsed(result);
    EXPECT_EQ(json["configuration"]["threads"], "both");
    EXPECT_EQ(json["configuration"]["repeat"], 3);
    ASSERT_EQ(json["runs"].size(), 6u);
    EXPECT_EQ(json["runs"][3]["status"]["reason"], "cannot start worker: no");
    EXPECT_EQ(json["runs"][3]["partial"], false);
    EXPECT_EQ(json["runs"][5]["partial"], true);
    EXPECT_EQ(json["runs"][5]["threads"], "all");
    EXPECT_EQ(json["runs"][5]["samples"].size(), 1u);

    const auto& single_statistics = json["statistics"]["single"];
    EXPECT_EQ(single_statistics["runs"], 3);
    EXPECT_EQ(single_statistics["completed"], 3);
    EXPECT_EQ(single_statistics["median"].get<double>(), 100.0);
    EXPECT_EQ(single_statistics["minimum"].get<double>(), 90.0);
    EXPECT_EQ(single_statistics["maximum"].get<double>(), 110.0);
    EXPECT_NEAR(single_statistics["ci95_low"].get<double>(), 100.0 - 24.841377117503304, 1e-9);
    EXPECT_NEAR(single_statistics["cv_percent"].get<double>(), 10.0, 1e-12);
    const auto& all_statistics = json["statistics"]["all"];
    EXPECT_EQ(all_statistics["runs"], 3);
    EXPECT_EQ(all_statistics["completed"], 1);
    EXPECT_TRUE(all_statistics["ci95_high"].is_null());

    const auto& scaling = json["scaling"];
    EXPECT_DOUBLE_EQ(scaling["multi_core_ratio"].get<double>(), 5.0);
    EXPECT_DOUBLE_EQ(scaling["efficiency_per_logical_processor"].get<double>(), 5.0 / 8.0);
    EXPECT_DOUBLE_EQ(scaling["efficiency_per_physical_core"].get<double>(), 5.0 / 4.0);
    // Through the geometric mean of the one pair: exact but for rounding.
    EXPECT_NEAR(scaling["smt_gain"].get<double>(), 0.25, 1e-12);
    EXPECT_EQ(scaling["pairs"], 1);
    EXPECT_EQ(scaling["workers"], 8);
    EXPECT_EQ(scaling["physical_cores"], 4);
    EXPECT_TRUE(scaling["multi_core_ratio_interval"].is_null());
}

TEST(JsonOutput, CancelledRunCarriesReasonAndNoVariation) {
    RunRecord run = cancelled_run(0, single, 0);
    run.summary.has_variation = 0;
    run.summary.variation_percent = 0.0;
    run.samples.clear();
    run.reason = "cancelled during warm-up";
    const auto json = parsed(test_result({run}))["runs"][0];
    EXPECT_EQ(json["status"]["name"], "cancelled");
    EXPECT_EQ(json["status"]["code"], 1);
    EXPECT_EQ(json["status"]["reason"], "cancelled during warm-up");
    EXPECT_EQ(json["partial"], true);
    EXPECT_TRUE(json["summary"]["variation_percent"].is_null());
    EXPECT_TRUE(json["samples"].is_array());
    EXPECT_TRUE(json["samples"].empty());
    EXPECT_EQ(json["stability"]["instability"], "none");
}

TEST(JsonOutput, SystemDocumentHoldsToolAndSystemOnly) {
    const auto json = nlohmann::json::parse(
        system_document_json("0.0.2", {"Clang", "14.0.6", std::nullopt}, testing::test_system()).dump());
    EXPECT_EQ(json["schema_version"], 3);
    EXPECT_EQ(json["tool"]["compiler"], "Clang");
    EXPECT_TRUE(json["tool"]["build_type"].is_null());
    EXPECT_EQ(json["system"]["processor"], "Test CPU 9000");
    EXPECT_FALSE(json.contains("runs"));
}

}  // namespace
}  // namespace quorlind::bench
