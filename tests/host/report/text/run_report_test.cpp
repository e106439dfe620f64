#include "util/number_format.h"
#include "report/text/run_report.h"
#include "report/text/stability_text.h"
#include "report/text/system_report.h"
#include "result_fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::sample;

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
    for (const auto& row : rows) {
        operations += row.operations;
        duration += row.duration_seconds;
        EXPECT_DOUBLE_EQ(row.ops_per_second, static_cast<double>(row.operations) / row.duration_seconds);
    }
    EXPECT_EQ(operations, 45u * 1000u + 45u * 46u / 2u);
    EXPECT_DOUBLE_EQ(duration, 22.5);
    EXPECT_EQ(rows.back().end_seconds, samples.back().end_seconds);
}

ResultRecord completed_result() {
    RunRecord run = testing::completed_run(0, QUORLIND_BENCHMARK_PER_CPU, 24681357.9,
                                           {sample(1.5, 1.5, 37000000), sample(3.0, 1.5, 37044073)});
    run.summary.warmup_seconds = 2.0;
    run.summary.variation_percent = 4.25;
    run.summary.checksum = 0x1234abcdull;
    return testing::test_result({run}, ThreadMode::all);
}

std::string report_of(const ResultRecord& record) {
    std::ostringstream out;
    write_report(out, result_of_run(record));
    return out.str();
}

TEST(Report, CompletedRunShowsEveryFigure) {
    auto record = completed_result();
    const std::string text = report_of(record);
    EXPECT_THAT(text, HasSubstr("all-threads benchmark: completed"));
    EXPECT_THAT(text, HasSubstr("24,681,358 operations/s"));
    EXPECT_THAT(text, HasSubstr("Workers     8"));
    EXPECT_THAT(text, HasSubstr("3.000 s"));
    EXPECT_THAT(text, HasSubstr("4.25 % (stable)"));
    EXPECT_THAT(text, HasSubstr("74,044,073"));
    EXPECT_THAT(text, HasSubstr("0x000000001234abcd"));
    EXPECT_THAT(text, HasSubstr("37,044,073"));

    auto& summary = record.runs[0].summary;
    summary.variation_percent = 12.5;
    summary.unstable = 1;
    EXPECT_THAT(report_of(record),
                HasSubstr("12.50 % (unstable: noisy, above 10 % without a significant trend)"));
    summary.has_variation = 0;
    summary.unstable = 0;
    EXPECT_THAT(report_of(record), HasSubstr("Variation   not available"));
}

TEST(Report, SystemHeaderShowsTheRecordAndSaysUnknown) {
    auto record = completed_result();
    const std::string known = report_of(record);
    EXPECT_LT(known.find("System\n"), known.find("benchmark: completed")) << "the record heads the report";
    for (const char* expected :
         {"Started     2024-03-01T12:30:05Z on host bench-7",
          "Processor   Test CPU 9000, 8 logical processors",
          "Topology    1 package, 4 physical cores, SMT on, 1 NUMA node",
          "Caches      L1d 48 KiB x 4, L2 1.25 MiB x 4, L3 unknown",
          "Clock       base 2,400 MHz, max unknown; measured 3,900 MHz before, 3,500 MHz after",
          "Power       governor performance, boost unknown", "Hypervisor  none",
          "OS          Debian GNU/Linux 12 (bookworm), build 6.1.0-18-amd64 #1 SMP",
          "Load        0.50 0.25 0.12 before, unknown after",
          "Library     0.0.2, C interface 1, built with GCC 12.2.0 (Release)",
          "Tool        0.0.2, built with GCC 12.2.0 (Release)"}) {
        EXPECT_THAT(known, HasSubstr(expected));
    }

    std::ostringstream out;
    write_system_report(out, SystemRecord{}, "0.0.2", BuildInfo{});
    const std::string unknown = out.str();
    for (const char* expected :
         {"Started     unknown on host unknown", "unknown processor, 0 logical processors",
          "packages unknown, physical cores unknown, SMT unknown, NUMA nodes unknown",
          "L1d unknown, L2 unknown, L3 unknown",
          "base unknown, max unknown; measured unknown before, unknown after",
          "governor unknown, boost unknown", "Hypervisor  unknown",
          "OS          unknown unknown, build unknown", "Load        unknown before, unknown after",
          "Tool        0.0.2, built with unknown (unknown)"}) {
        EXPECT_THAT(unknown, HasSubstr(expected));
    }
}

TEST(Report, DriftIsNamedWithItsSizeNextToTheVariation) {
    auto record = completed_result();
    RunRecord& run = record.runs[0];
    // 1000 falling by 20 a second over 6 s, as a clock stepping down would.
    run.samples.clear();
    for (int i = 0; i < 6; ++i) {
        run.samples.push_back(sample(i + 1.0, 1.0, static_cast<std::uint64_t>(1000 - 20 * i)));
    }
    const std::string text = report_of(record);
    EXPECT_THAT(text, HasSubstr("stable; drifting -12.6 % over 6.0 s (throttling or a clock change?)"));
}

TEST(Report, CancelledRunIsMarkedAndHasNoThroughput) {
    auto record = completed_result();
    RunRecord& run = record.runs[0];
    run.summary.status = QUORLIND_STATUS_CANCELLED;
    run.summary.ops_per_second = 0.0;
    run.reason = "cancelled during warm-up";
    run.samples.clear();
    const std::string text = report_of(record);
    EXPECT_THAT(text, HasSubstr("cancelled (cancelled during warm-up)"));
    EXPECT_THAT(text, HasSubstr("did not complete"));
    EXPECT_THAT(text, HasSubstr("No intervals were measured"));
    EXPECT_THAT(text, Not(HasSubstr("operations/s")));
}

TEST(Report, SeriesListsEachRunThenStatisticsAndScaling) {
    using testing::completed_run;
    constexpr std::uint32_t single = QUORLIND_BENCHMARK_SINGLE;
    constexpr std::uint32_t all = QUORLIND_BENCHMARK_PER_CPU;
    const auto record = testing::test_result(
        {completed_run(0, single, 100000.0), completed_run(1, all, 500000.0),
         completed_run(2, single, 110000.0), testing::failed_run(3, all, "cannot start worker: no"),
         completed_run(4, single, 90000.0), testing::cancelled_run(5, all, 450000)},
        ThreadMode::both, 3);
    const std::string text = report_of(record);
    EXPECT_THAT(text, HasSubstr("6 runs (single and all threads alternating, 3 of each planned)"));
    EXPECT_THAT(text, HasSubstr("\n     2  all     completed           500,000     1.50 %  stable\n"));
    EXPECT_THAT(
        text,
        HasSubstr(
            "\n     4  all     failed                    -          -  failed: cannot start worker: no\n"));
    // A partial run shows the rate of what it measured.
    EXPECT_THAT(
        text,
        HasSubstr(
            "\n     6  all     cancelled           450,000          -  partial: cancelled after 1.0 s"));
    EXPECT_THAT(text, HasSubstr("Single thread: 3 runs, 3 completed"));
    EXPECT_THAT(text, HasSubstr("Median      100,000 operations/s"));
    EXPECT_THAT(text, HasSubstr("Range       90,000 to 110,000"));
    // 100,000 +- t(0.975, 2) * 10,000 / sqrt(3)
    EXPECT_THAT(
        text, HasSubstr("95 % confidence interval 75,159 to 124,841, Student's t with 2 degrees of freedom"));
    EXPECT_THAT(text, HasSubstr("coefficient of variation 10.00 %"));
    EXPECT_THAT(text, HasSubstr("All threads: 3 runs, 1 completed"));
    EXPECT_THAT(text, HasSubstr("one run: no confidence interval"));
    EXPECT_THAT(text, HasSubstr("Multi-core  5.00 x the single-thread rate (geometric mean of 1 pair of "
                                "neighbouring runs: no confidence interval)"));
    EXPECT_THAT(text, HasSubstr("62.5 % of one thread's rate on each of 8 workers"));
    EXPECT_THAT(text, HasSubstr("125.0 % on each of 4 physical cores; SMT gain +25.0 %"));
}

TEST(StabilityText, EachReportWordsTheSameJudgement) {
    RunRecord run = testing::completed_run(0, QUORLIND_BENCHMARK_SINGLE, 1000.0);
    run.summary.measured_seconds = 59.6;
    run.stability = {-7.84, true, Instability::drift, 7.94};
    // The library called the run stable: the drift is said beside that.
    EXPECT_EQ(stability_text(run, StabilityWording::sentence),
              "stable; drifting -7.8 % over 7.9 s (throttling or a clock change?)");
    EXPECT_EQ(stability_text(run, StabilityWording::cell), "stable; drifting -7.8 % over 60 s");
    run.summary.unstable = 1;
    EXPECT_EQ(stability_text(run, StabilityWording::sentence),
              "unstable: drifting -7.8 % over 7.9 s (throttling or a clock change?)");
    EXPECT_EQ(stability_text(run, StabilityWording::cell), "unstable: drifting -7.8 % over 60 s");
    run.summary.unstable = 0;
    run.summary.has_variation = 0;
    EXPECT_EQ(stability_text(run, StabilityWording::cell), "drifting -7.8 % over 60 s");
    run.summary.has_variation = 1;
    run.stability = {1.0, false, Instability::noise, 7.94};
    EXPECT_EQ(stability_text(run, StabilityWording::sentence),
              "unstable: noisy, above 10 % without a significant trend");
    EXPECT_EQ(stability_text(run, StabilityWording::cell), "unstable: noisy");
    // Marked unstable by the library without a reason of its own, or not judged at all.
    run.stability = {};
    run.summary.unstable = 1;
    EXPECT_EQ(stability_text(run, StabilityWording::sentence), "stable");
    EXPECT_EQ(stability_text(run, StabilityWording::cell), "unstable");
    run.summary.has_variation = 0;
    EXPECT_EQ(stability_text(run, StabilityWording::cell), "not judged (too few intervals)");
}

// A sampled run shows the second figure and says whether it was disturbed:
// by whom and when, or that it was not; the intervals get the load columns.
TEST(RunReport, LoadNamesTheCauseOrSaysTheRunWasQuiet) {
    ResultRecord record = completed_result();
    RunRecord& run = record.runs[0];
    run.load = RunLoad{};
    run.load->intervals = {LoadFigures{1.0, std::nullopt, std::nullopt, 0.1},
                           LoadFigures{0.5, std::nullopt, std::nullopt, 1.6}};
    run.load->measurement.worker_cpu_share = 0.75;
    run.load->measurement.worker_cpu_seconds = 2.0 * 3.0 * 0.75;
    const std::string disturbed = report_of(record);
    EXPECT_THAT(disturbed, HasSubstr("  CPU time    16,454,238 operations per second of processor time "
                                     "(the workers got 75.0 % of the window)\n"));
    EXPECT_THAT(disturbed,
                HasSubstr("Disturbance disturbed: other processes used 1.6 processors in 1.5\xE2\x80\x93"
                          "3.0 s, and the workers ran 50 % of that time\n"));
    EXPECT_THAT(disturbed, HasSubstr("workers %  others (cpus)\n"));
    EXPECT_THAT(disturbed, HasSubstr("       50.0           1.60\n"));

    run.load->intervals[1] = run.load->intervals[0];
    run.load->measurement.worker_cpu_share = 0.99;
    EXPECT_THAT(report_of(record), HasSubstr("Disturbance not disturbed\n"));
    // Noisy without a disturbance: no cause is made up.
    run.summary.unstable = 1;
    EXPECT_THAT(report_of(record),
                HasSubstr("Disturbance not disturbed; no cause seen in what this machine reports\n"));
    // An older file: nothing about the load at all.
    run.load.reset();
    EXPECT_THAT(report_of(record), Not(HasSubstr("Disturbance")));
}

}  // namespace
}  // namespace quorlind::bench
