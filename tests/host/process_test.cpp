// Runs the built quorlind-bench as a child process, as a user or script would.
#include "child_process.hpp"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ChildProcess;
using testing::ChildResult;

// Generous: these machines are shared and noisy, and a run also builds its workload.
constexpr std::chrono::seconds run_limit{60};

ChildResult bench(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QUORLIND_BENCH_EXECUTABLE);
    return testing::run_child(arguments, run_limit);
}

std::string read_file(const std::string &path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void expect_samples_tile_measured_time(const nlohmann::json &json) {
    const auto &summary = json.at("summary");
    const auto &samples = json.at("samples");
    ASSERT_FALSE(samples.empty());
    ASSERT_EQ(samples.size(), summary.at("sample_count").get<std::size_t>());
    double duration = 0.0;
    std::uint64_t operations = 0;
    for (const auto &sample : samples) {
        duration += sample.at("duration_seconds").get<double>();
        operations += sample.at("operations").get<std::uint64_t>();
    }
    const double measured = summary.at("measured_seconds").get<double>();
    EXPECT_NEAR(duration, measured, 1e-6);
    EXPECT_NEAR(samples.back().at("end_seconds").get<double>(), measured, 1e-6);
    EXPECT_EQ(operations, summary.at("total_operations").get<std::uint64_t>());
}

TEST(BenchProcess, VersionAndUsageErrorsRunNothing) {
    EXPECT_EQ(bench({"--help"}).exit_code, 0);
    const auto version = bench({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_THAT(version.out, HasSubstr("library 0.0.2"));
    EXPECT_THAT(version.out, HasSubstr("C interface 1"));

    const std::vector<std::string> usage_errors[] = {
        {"--warmup", "-1"}, {"--measure", "0"}, {"--threads", "two"}, {"--frobnicate"},
        {"--csv", "/nonexistent-dir/samples.csv", "--measure", "0.3"}};
    for (const auto &arguments : usage_errors) {
        const auto result = bench(arguments);
        EXPECT_EQ(result.exit_code, 2) << arguments[0];
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_THAT(result.err, HasSubstr(arguments[0]));
        EXPECT_TRUE(result.out.empty());
    }
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
    EXPECT_TRUE(result.err.empty()) << "--quiet: " << result.err;
    const auto json = nlohmann::json::parse(result.out); // nothing but JSON on stdout
    EXPECT_EQ(json.at("status").at("name"), "completed");
    EXPECT_EQ(json.at("configuration").at("measurement_seconds").get<double>(), 0.3);
    const auto &summary = json.at("summary");
    EXPECT_EQ(summary.at("benchmark"), 1);
    EXPECT_EQ(summary.at("workers"), 1);
    EXPECT_EQ(summary.at("measurement_seconds").get<double>(), 0.3);
    EXPECT_GT(summary.at("ops_per_second").get<double>(), 0.0);
    expect_samples_tile_measured_time(json);
}

TEST(BenchProcess, FilesReportAndPlainProgressTogether) {
    const std::string prefix = ::testing::TempDir() + "quorlind-bench-process-test";
    const std::string json_path = prefix + ".json";
    const std::string csv_path = prefix + ".csv";
    const auto result =
        bench({"--threads", "all", "--warmup", "0.2", "--measure", "0.3", "--json", json_path, "--csv", csv_path});
    ASSERT_EQ(result.exit_code, 0) << result.err;

    const auto json = nlohmann::json::parse(read_file(json_path));
    EXPECT_EQ(json.at("summary").at("benchmark"), 2);
    EXPECT_EQ(json.at("summary").at("workers"), json.at("system").at("logical_processors"));
    expect_samples_tile_measured_time(json);

    std::istringstream csv(read_file(csv_path));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "interval,end_seconds,duration_seconds,operations,ops_per_second");
    std::size_t rows = 0;
    for (; std::getline(csv, line); ++rows) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
    }
    EXPECT_EQ(rows, json.at("samples").size());
    std::remove(json_path.c_str());
    std::remove(csv_path.c_str());

    EXPECT_THAT(result.out, HasSubstr("benchmark: completed"));
    EXPECT_THAT(result.out, HasSubstr("logical processors"));
    // Not a terminal: whole lines, never redrawn.
    const std::string progress = "\n" + result.err;
    EXPECT_THAT(progress, Not(HasSubstr("\r")));
    EXPECT_THAT(progress, HasSubstr("\nwarm-up "));
    EXPECT_THAT(progress, HasSubstr("\nmeasurement "));
    EXPECT_THAT(progress, HasSubstr("\ncompleted "));
}

TEST(BenchProcess, CtrlCDuringWarmupCancelsAndStillReports) {
    ChildProcess child({QUORLIND_BENCH_EXECUTABLE, "--warmup", "60", "--measure", "1"});
    // Cancelling works at any moment; waiting for progress makes it land in the warm-up.
    EXPECT_TRUE(child.wait_for_stderr("warm-up", std::chrono::seconds(20)));
    child.send_signal(SIGINT);
    const auto result = child.finish(std::chrono::seconds(30));
    EXPECT_EQ(result.exit_code, 130) << result.err;
    EXPECT_LT(result.seconds, 50.0) << "the warm-up was not cut short";
    EXPECT_THAT(result.out, HasSubstr("benchmark: cancelled"));
    EXPECT_THAT(result.out, HasSubstr("did not complete"));
}

} // namespace
} // namespace quorlind::bench
