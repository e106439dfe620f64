#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "export/openmetrics.h"
#include "result/reader.h"
#include "result/result.h"

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

Result fixture() { return read_result_file(std::string(QUORLIND_TEST_DATA_DIR) + "/result-v2-both.json"); }

constexpr const char* machine = R"(processor="Example CPU 9000",library_version="0.0.2")";

TEST(OpenMetrics, GaugesPerKindFromTheStatistics) {
    const std::string text = to_openmetrics(fixture());
    const std::string single = std::string("{") + machine + ",kind=\"single\"}";
    const std::string all = std::string("{") + machine + ",kind=\"all\"}";
    EXPECT_THAT(text, HasSubstr("# TYPE quorlind_throughput_operations_per_second gauge\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_throughput_operations_per_second" + single + " 41678.75\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_throughput_operations_per_second" + all + " 159662.5\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_throughput_ci95_half_width_operations_per_second" + single +
                                " 4177.16480701743\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_run_to_run_variation_ratio" + all + " 0.00155006575379498\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_interval_variation_ratio" + single + " 0.029\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_runs" + single + " 2\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_runs_completed" + all + " 2\n"));
    // Run 3 drifted, but the library called it stable: drifting, not unstable.
    EXPECT_THAT(text, HasSubstr(std::string("quorlind_unstable{") + machine +
                                ",kind=\"single\",reason=\"none\"} 0\n"));
    EXPECT_THAT(text, HasSubstr(std::string("quorlind_drifting{") + machine + ",kind=\"single\"} 1\n"));
    EXPECT_THAT(text, HasSubstr(std::string("quorlind_drifting{") + machine + ",kind=\"all\"} 0\n"));
    EXPECT_THAT(
        text, HasSubstr(std::string("quorlind_unstable{") + machine + ",kind=\"all\",reason=\"none\"} 0\n"));
    EXPECT_THAT(text,
                HasSubstr(std::string("quorlind_multi_core_ratio{") + machine + "} 3.84815296322085\n"));
    EXPECT_THAT(text, HasSubstr(std::string("quorlind_start_time_seconds{") + machine + "} 1714566896\n"));
    // The collector refuses sample timestamps: every sample line is name{labels} value.
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        if (line.rfind('#', 0) != 0) {
            EXPECT_EQ(line.find(' ', line.rfind('}')), line.rfind(' ')) << line;
        }
    }
}

// A file from before the load was sampled has none of its gauges; one
// disturbed run marks its kind, and the shares are the runs' mean.
TEST(OpenMetrics, LoadGaugesFromTheSampledRuns) {
    Result result = fixture();
    EXPECT_THAT(to_openmetrics(result), Not(HasSubstr("quorlind_disturbed")));
    for (RunRecord& run : result.record.runs) {
        if (run.config.benchmark == QUORLIND_BENCHMARK_SINGLE) {
            run.load = RunLoad{};
            run.load->intervals.resize(run.samples.size(), LoadFigures{1.0});
            run.load->measurement.worker_cpu_share = 1.0;
            run.load->measurement.other_processes_cpus = 0.0;
        }
    }
    result.record.runs[0].load->measurement.worker_cpu_share = 0.8;
    result.record.runs[0].load->measurement.other_processes_cpus = 0.5;
    derive_figures(result);
    const std::string text = to_openmetrics(result);
    const std::string single = std::string("{") + machine + ",kind=\"single\"}";
    EXPECT_THAT(text, HasSubstr("quorlind_disturbed" + single + " 1\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_worker_cpu_share" + single + " 0.9\n"));
    EXPECT_THAT(text, HasSubstr("quorlind_other_processes_cpus" + single + " 0.25\n"));
    EXPECT_THAT(text, Not(HasSubstr("quorlind_steal_share")));
    EXPECT_THAT(text, Not(HasSubstr("quorlind_disturbed{" + std::string(machine) + ",kind=\"all\"}")));
}

TEST(OpenMetrics, LabelValuesEscapeBackslashQuoteAndNewline) {
    Result result = fixture();
    result.record.system.processor = "Weird \"Quoted\" C:\\CPU\nsecond line";
    const std::string text = to_openmetrics(result);
    EXPECT_THAT(text, HasSubstr(R"(processor="Weird \"Quoted\" C:\\CPU\nsecond line",)"));
    EXPECT_EQ(text.find("second line\""), text.find(R"(\nsecond line")") + 2);
}

TEST(OpenMetrics, WhatTheDocumentLacksIsLeftOutNotZero) {
    // One completed run: no interval, no run-to-run variation, no start time, no scaling.
    Result result;
    result.record.system.processor = "P";
    result.record.system.library_version = "0.0.2";
    result.single = KindStatistics{};
    result.single->runs = 1;
    result.single->completed = 1;
    result.single->median = 5.0e4;
    const std::string text = to_openmetrics(result);
    EXPECT_THAT(
        text, HasSubstr("quorlind_throughput_operations_per_second{processor=\"P\",library_version=\"0.0.2\","
                        "kind=\"single\"} 50000\n"));
    for (const char* absent :
         {"half_width", "run_to_run", "interval_variation", "multi_core", "start_time", "\"all\""}) {
        EXPECT_THAT(text, Not(HasSubstr(absent))) << absent;
    }
}

}  // namespace
}  // namespace quorlind::bench
