// Runs the built quorlind-bench as a child process, as a user or script would.
#include "child_process.hpp"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ChildProcess;
using testing::ChildResult;
using testing::run_child;

// Generous: these machines are shared and noisy, and a run also builds its workload.
constexpr std::chrono::seconds run_limit{60};

ChildResult bench(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QUORLIND_BENCH_EXECUTABLE);
    return run_child(arguments, run_limit);
}

std::string temporary_path(const std::string &name) {
    return ::testing::TempDir() + "quorlind-bench-" + std::to_string(getpid()) + "-" + name;
}

std::string read_file(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void expect_samples_tile_measured_time(const nlohmann::json &json) {
    const auto &summary = json.at("summary");
    const auto &samples = json.at("samples");
    ASSERT_EQ(samples.size(), summary.at("sample_count").get<std::size_t>());
    ASSERT_FALSE(samples.empty());
    double duration = 0.0;
    std::uint64_t operations = 0;
    for (const auto &sample : samples) {
        EXPECT_GT(sample.at("duration_seconds").get<double>(), 0.0);
        duration += sample.at("duration_seconds").get<double>();
        operations += sample.at("operations").get<std::uint64_t>();
    }
    const double measured = summary.at("measured_seconds").get<double>();
    EXPECT_NEAR(duration, measured, 1e-6 * measured + 1e-9);
    EXPECT_NEAR(samples.back().at("end_seconds").get<double>(), measured, 1e-6 * measured + 1e-9);
    EXPECT_EQ(operations, summary.at("total_operations").get<std::uint64_t>());
}

TEST(BenchProcess, HelpVersionAndUsageErrorsRunNothing) {
    const auto help = bench({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_THAT(help.out, HasSubstr("Exit codes"));

    const auto version = bench({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_THAT(version.out, HasSubstr("quorlind-bench "));
    EXPECT_THAT(version.out, HasSubstr("library 0.0.2"));
    EXPECT_THAT(version.out, HasSubstr("C interface 1"));

    for (const auto &arguments : std::vector<std::vector<std::string>>{
             {"--warmup", "-1"}, {"--measure", "0"}, {"--measure", "inf"}, {"--threads", "two"}, {"--frobnicate"}}) {
        const auto result = bench(arguments);
        EXPECT_EQ(result.exit_code, 2) << arguments[0];
        EXPECT_THAT(result.err, HasSubstr(arguments[0]));
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(result.out.empty());
        EXPECT_LT(result.took.count(), 10.0);
    }

    const auto unwritable = bench({"--warmup", "0", "--measure", "0.3", "--csv", "/nonexistent-dir/samples.csv"});
    EXPECT_EQ(unwritable.exit_code, 2);
    EXPECT_THAT(unwritable.err, HasSubstr("--csv"));
}

TEST(BenchProcess, RefusedValuesReportTheLibrarysReason) {
    // Far beyond any usable warm-up; the library, not the tool, draws that line.
    const auto result = bench({"--warmup", "1e20", "--measure", "0.3", "--json", "--quiet"});
    EXPECT_EQ(result.exit_code, 1);
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json.at("status").at("name"), "failed");
    const std::string reason = json.at("status").at("reason");
    EXPECT_FALSE(reason.empty());
    EXPECT_THAT(result.err, HasSubstr("the run failed: " + reason));
}

TEST(BenchProcess, JsonOnStandardOutputParsesBackAndAddsUp) {
    const auto result = bench({"--warmup", "0", "--measure", "0.3", "--json", "--quiet"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out); // nothing but JSON on stdout
    EXPECT_EQ(json.at("status").at("name"), "completed");
    EXPECT_EQ(json.at("status").at("reason"), "");
    EXPECT_EQ(json.at("configuration").at("benchmark"), 1);
    EXPECT_EQ(json.at("configuration").at("measurement_seconds").get<double>(), 0.3);
    const auto &summary = json.at("summary");
    EXPECT_EQ(summary.at("status"), 0);
    EXPECT_EQ(summary.at("workers"), 1);
    EXPECT_EQ(summary.at("warmup_seconds").get<double>(), 0.0);
    EXPECT_EQ(summary.at("measurement_seconds").get<double>(), 0.3);
    EXPECT_GT(summary.at("ops_per_second").get<double>(), 0.0);
    EXPECT_GE(summary.at("measured_seconds").get<double>(), 0.3);
    expect_samples_tile_measured_time(json);
    EXPECT_GE(json.at("system").at("logical_processors").get<int>(), 1);
    EXPECT_EQ(json.at("system").at("library_version"), "0.0.2");
    EXPECT_TRUE(result.err.empty()) << "--quiet: " << result.err;
}

TEST(BenchProcess, FilesReportAndPlainProgressTogether) {
    const std::string json_path = temporary_path("run.json");
    const std::string csv_path = temporary_path("samples.csv");
    const auto result =
        bench({"--threads", "all", "--warmup", "0.2", "--measure", "0.3", "--json", json_path, "--csv", csv_path});
    ASSERT_EQ(result.exit_code, 0) << result.err;

    const auto json = nlohmann::json::parse(read_file(json_path));
    EXPECT_EQ(json.at("summary").at("benchmark"), 2);
    EXPECT_EQ(json.at("summary").at("workers"), json.at("system").at("logical_processors"));
    expect_samples_tile_measured_time(json);

    std::istringstream csv(read_file(csv_path));
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    EXPECT_EQ(line, "interval,end_seconds,duration_seconds,operations,ops_per_second");
    std::size_t rows = 0;
    while (std::getline(csv, line)) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
        ++rows;
    }
    EXPECT_EQ(rows, json.at("samples").size());
    std::remove(json_path.c_str());
    std::remove(csv_path.c_str());

    // The human report goes to stdout, progress to stderr as plain lines.
    EXPECT_THAT(result.out, HasSubstr("benchmark: completed"));
    EXPECT_THAT(result.out, HasSubstr("operations/s"));
    EXPECT_THAT(result.out, HasSubstr("logical processors"));
    EXPECT_THAT(result.err, Not(HasSubstr("\r")));
    EXPECT_THAT(result.err, HasSubstr("warm-up"));
    EXPECT_THAT(result.err, HasSubstr("measurement"));
    EXPECT_THAT(result.err, HasSubstr("completed"));
}

TEST(BenchProcess, CtrlCDuringWarmupCancelsAndStillReports) {
    ChildProcess child({QUORLIND_BENCH_EXECUTABLE, "--warmup", "60", "--measure", "1"});
    // Cancelling works at any moment; waiting for the first progress line
    // just makes it land inside the warm-up.
    EXPECT_TRUE(child.wait_for_stderr("warm-up", std::chrono::seconds(20))) << "no progress line";
    child.send_signal(SIGINT);
    const auto result = child.finish(std::chrono::seconds(30));
    EXPECT_EQ(result.exit_code, 130) << result.err;
    EXPECT_LT(result.took.count(), 50.0) << "the warm-up was not cut short";
    EXPECT_THAT(result.out, HasSubstr("benchmark: cancelled"));
    EXPECT_THAT(result.out, HasSubstr("did not complete"));
    EXPECT_THAT(result.err, HasSubstr("cancelled"));
}

} // namespace
} // namespace quorlind::bench
