// Runs the built quorlind-bench as a child process, as a user or script would.
#include "child_process.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace quorlind::bench {
namespace {

using testing::ChildProcess;
using testing::ChildResult;
using ::testing::HasSubstr;
using ::testing::Not;

// Generous: these machines are shared and noisy, and a run also builds its workload.
constexpr std::chrono::seconds run_limit{60};

ChildResult bench(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QUORLIND_BENCH_EXECUTABLE);
    return testing::run_child(arguments, run_limit);
}

// Every JSON the tool writes is checked against the published schema with
// Debian's python3-jsonschema, the way any reader of the files would.
void expect_valid(const std::string& path, const std::string& definition = {}) {
    std::vector<std::string> arguments{QUORLIND_PYTHON, QUORLIND_SOURCE_DIR "/tests/host/validate_result.py",
                                       QUORLIND_SOURCE_DIR "/docs/schema/result.schema.json", path};
    if (!definition.empty()) {
        arguments.insert(arguments.end(), {"--definition", definition});
    }
    const auto result = testing::run_child(arguments, std::chrono::seconds(60));
    EXPECT_EQ(result.exit_code, 0) << path << " against the schema:\n" << result.err << result.out;
}

void expect_valid_text(const std::string& json_text, const std::string& name,
                       const std::string& definition = {}) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << json_text;
    expect_valid(path, definition);
    std::remove(path.c_str());
}

std::string read_file(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// json: one run of the document's runs.
void expect_samples_tile_measured_time(const nlohmann::json& json) {
    const auto& summary = json.at("summary");
    const auto& samples = json.at("samples");
    ASSERT_FALSE(samples.empty());
    ASSERT_EQ(samples.size(), summary.at("sample_count").get<std::size_t>());
    double duration = 0.0;
    std::uint64_t operations = 0;
    for (const auto& sample : samples) {
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
        {"--warmup", "-1"},   {"--measure", "0"},
        {"--threads", "two"}, {"--repeat", "0"},
        {"--frobnicate"},     {"--csv", "/nonexistent-dir/samples.csv", "--measure", "0.3"}};
    for (const auto& arguments : usage_errors) {
        const auto result = bench(arguments);
        EXPECT_EQ(result.exit_code, 2) << arguments[0];
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_THAT(result.err, HasSubstr(arguments[0]));
        EXPECT_TRUE(result.out.empty());
    }
}

TEST(BenchProcess, JsonOnStandardOutputParsesBackAndAddsUp) {
    const auto result = bench({"--warmup", "0", "--measure", "0.3", "--json", "--quiet"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(result.err.empty()) << "--quiet: " << result.err;
    const auto document = nlohmann::json::parse(result.out);  // nothing but JSON on stdout
    EXPECT_EQ(document.at("schema_version"), 3);
    // Sampled during the run: one set of figures per interval, the workers' share a share.
    const auto& run = document.at("runs").at(0);
    const auto& load = run.at("load");
    EXPECT_EQ(load.at("intervals").size(), run.at("samples").size());
    if (!load.at("worker_cpu_share").is_null()) {
        EXPECT_GT(load.at("worker_cpu_share").get<double>(), 0.0);
        EXPECT_LT(load.at("worker_cpu_share").get<double>(), 1.1);
    }
    EXPECT_EQ(document.at("configuration").at("measurement_seconds").get<double>(), 0.3);
    EXPECT_EQ(document.at("configuration").at("repeat"), 1);
    ASSERT_EQ(document.at("runs").size(), 1u);
    expect_valid_text(result.out, "quorlind-bench-stdout.json");
    const auto& json = document.at("runs")[0];
    EXPECT_EQ(json.at("status").at("name"), "completed");
    const auto& summary = json.at("summary");
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
    const auto result = bench(
        {"--threads", "all", "--warmup", "0.2", "--measure", "0.3", "--json", json_path, "--csv", csv_path});
    ASSERT_EQ(result.exit_code, 0) << result.err;

    expect_valid(json_path);
    const auto document = nlohmann::json::parse(read_file(json_path));
    const auto& json = document.at("runs").at(0);
    EXPECT_EQ(json.at("summary").at("benchmark"), 2);
    EXPECT_EQ(json.at("summary").at("workers"), document.at("system").at("logical_processors"));
    expect_samples_tile_measured_time(json);

    std::istringstream csv(read_file(csv_path));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line,
              "interval,end_seconds,duration_seconds,operations,ops_per_second,run,threads,"
              "worker_cpu_share,other_processes_cpus");
    std::size_t rows = 0;
    for (; std::getline(csv, line); ++rows) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 8) << line;
    }
    EXPECT_EQ(rows, json.at("samples").size());
    std::remove(json_path.c_str());
    std::remove(csv_path.c_str());

    EXPECT_THAT(result.out, HasSubstr("benchmark: completed"));
    EXPECT_THAT(result.out, HasSubstr("logical processors"));
    EXPECT_THAT(result.out, HasSubstr("Topology"));
    // Not a terminal: whole lines, never redrawn.
    const std::string progress = "\n" + result.err;
    EXPECT_THAT(progress, Not(HasSubstr("\r")));
    EXPECT_THAT(progress, HasSubstr("\nwarm-up "));
    EXPECT_THAT(progress, HasSubstr("\nmeasurement "));
    EXPECT_THAT(progress, HasSubstr("\ncompleted "));
}

// The file's report reads as the run's did; figures edited in the file are
// worked out again from its intervals, and said so.
TEST(BenchProcess, ReportOfASavedFilePrintsTheRunsReport) {
    const std::string path = ::testing::TempDir() + "quorlind-bench-saved-report.json";
    const auto run = bench({"--repeat", "2", "--warmup", "0", "--measure", "0.3", "--json", path});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto report = bench({"report", path});
    ASSERT_EQ(report.exit_code, 0) << report.err;
    EXPECT_EQ(report.out, run.out);
    EXPECT_EQ(report.err, "");

    auto document = nlohmann::json::parse(read_file(path));
    document["runs"][1]["stability"] = {
        {"trend_percent", 42.0}, {"trend_significant", true}, {"instability", "drift"}};
    std::ofstream(path, std::ios::binary | std::ios::trunc) << document.dump(2);
    const auto edited = bench({"report", path});
    ASSERT_EQ(edited.exit_code, 0) << edited.err;
    EXPECT_EQ(edited.out, run.out) << "the stability shown is the one worked out again";
    EXPECT_THAT(edited.err, HasSubstr("note: recomputed"));
    EXPECT_THAT(edited.err, HasSubstr("stability of run 2"));
    std::remove(path.c_str());
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

TEST(BenchProcess, BothKindsAlternateAndTheResultValidates) {
    const std::string json_path = ::testing::TempDir() + "quorlind-bench-series.json";
    const auto result = bench(
        {"--threads", "both", "--repeat", "2", "--warmup", "0", "--measure", "0.3", "--json", json_path});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    expect_valid(json_path);
    const auto json = nlohmann::json::parse(read_file(json_path));
    std::remove(json_path.c_str());
    EXPECT_EQ(json.at("configuration").at("threads"), "both");
    const auto& runs = json.at("runs");
    ASSERT_EQ(runs.size(), 4u);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].at("index"), i);
        EXPECT_EQ(runs[i].at("benchmark"), i % 2 == 0 ? 1 : 2);
        EXPECT_EQ(runs[i].at("status").at("name"), "completed");
        expect_samples_tile_measured_time(runs[i]);
    }
    EXPECT_EQ(json.at("statistics").at("single").at("completed"), 2);
    EXPECT_EQ(json.at("statistics").at("all").at("completed"), 2);
    EXPECT_GT(json.at("scaling").at("multi_core_ratio").get<double>(), 0.0);
    const auto& system = json.at("system");
    EXPECT_FALSE(system.at("effective_clock_mhz").at("before").is_null());
    EXPECT_FALSE(system.at("effective_clock_mhz").at("after").is_null());
    EXPECT_FALSE(system.at("load_average").at("after").is_null());

    EXPECT_THAT(result.err, HasSubstr("run 1 of 4  "));
    EXPECT_THAT(result.err, HasSubstr("run 4 of 4  completed"));
    EXPECT_THAT(result.out, HasSubstr("Single thread: 2 runs, 2 completed"));
    EXPECT_THAT(result.out, HasSubstr("95 % confidence interval"));
    EXPECT_THAT(result.out, HasSubstr("Scaling"));
}

TEST(BenchProcess, CtrlCInASeriesKeepsTheRunsSoFarAndMarksThePartialOne) {
    const std::string json_path = ::testing::TempDir() + "quorlind-bench-cancelled-series.json";
    ChildProcess child({QUORLIND_BENCH_EXECUTABLE, "--repeat", "3", "--warmup", "0", "--measure", "1.5",
                        "--json", json_path});
    ASSERT_TRUE(child.wait_for_stderr("run 2 of 3  measurement", std::chrono::seconds(40)));
    child.send_signal(SIGINT);
    const auto result = child.finish(std::chrono::seconds(30));
    EXPECT_EQ(result.exit_code, 130) << result.err;
    expect_valid(json_path);
    const auto json = nlohmann::json::parse(read_file(json_path));
    std::remove(json_path.c_str());
    const auto& runs = json.at("runs");
    ASSERT_EQ(runs.size(), 2u) << "no run starts after Ctrl-C";
    EXPECT_EQ(runs[0].at("status").at("name"), "completed");
    EXPECT_EQ(runs[0].at("partial"), false);
    EXPECT_EQ(runs[1].at("status").at("name"), "cancelled");
    EXPECT_EQ(runs[1].at("partial"), true);
    EXPECT_EQ(json.at("statistics").at("single").at("runs"), 2);
    EXPECT_EQ(json.at("statistics").at("single").at("completed"), 1);
    EXPECT_THAT(result.err, Not(HasSubstr("run 3 of 3")));
    EXPECT_THAT(result.out, HasSubstr("partial: cancelled after"));
}

// What a script kept from last week, in every file a run writes.
struct EarlierFiles {
    std::vector<std::pair<std::string, std::string>> options;  // option, path

    EarlierFiles() {
        const std::string prefix = ::testing::TempDir() + "quorlind-bench-earlier";
        for (const char* option : {"--json", "--csv", "--html", "--openmetrics"}) {
            const std::string path = prefix + (option + 1);
            std::ofstream(path, std::ios::binary) << "last week's " << option << '\n';
            options.emplace_back(option, path);
        }
    }
    // With the temporary files that a killed run leaves beside them.
    ~EarlierFiles() {
        for (const auto& entry : std::filesystem::directory_iterator(::testing::TempDir())) {
            if (entry.path().filename().string().rfind("quorlind-bench-earlier-", 0) == 0) {
                std::filesystem::remove(entry.path());
            }
        }
    }
    std::vector<std::string> arguments() const {
        std::vector<std::string> arguments;
        for (const auto& [option, path] : options) {
            arguments.insert(arguments.end(), {option, path});
        }
        return arguments;
    }
    void expect_intact() const {
        for (const auto& [option, path] : options) {
            EXPECT_EQ(read_file(path), "last week's " + option + "\n") << option;
        }
    }
};

TEST(BenchProcess, ARunThatNeverFinishesLeavesTheEarlierFilesIntact) {
    // Killed mid-run, as by a second Ctrl-C (which quits at once) or a power
    // cut: no new content was complete, so nothing may have been replaced.
    const EarlierFiles earlier;
    std::vector<std::string> arguments{QUORLIND_BENCH_EXECUTABLE, "--warmup", "60", "--measure", "1"};
    const auto files = earlier.arguments();
    arguments.insert(arguments.end(), files.begin(), files.end());
    ChildProcess child(arguments);
    ASSERT_TRUE(child.wait_for_stderr("warm-up", std::chrono::seconds(20)));
    earlier.expect_intact();
    child.send_signal(SIGKILL);
    child.finish(std::chrono::seconds(30));
    earlier.expect_intact();
}

TEST(BenchProcess, UnwritableFilesAreRefusedBeforeAnythingRuns) {
    const std::string directory = ::testing::TempDir();
    const std::vector<std::string> refused[] = {{"--json", "/nonexistent-dir/result.json"},
                                                {"--json", directory},
                                                {"--html", "/nonexistent-dir/report.html"},
                                                {"--openmetrics", directory},
                                                {"--system", "--json", "/nonexistent-dir/system.json"}};
    for (auto arguments : refused) {
        const std::string option = arguments[arguments.size() - 2];
        const std::string expected = option + ": cannot write to '" + arguments.back() + "'\n";
        arguments.insert(arguments.end(), {"--warmup", "60"});  // a run would take a minute
        const auto result = bench(arguments);
        EXPECT_EQ(result.exit_code, 2) << arguments[0];
        EXPECT_EQ(result.err, "quorlind-bench: " + expected);
        EXPECT_TRUE(result.out.empty()) << result.out;
    }

    const EarlierFiles earlier;
    const std::string& json_path = earlier.options.front().second;
    const auto system = bench({"--system", "--json", json_path});
    ASSERT_EQ(system.exit_code, 0) << system.err;
    expect_valid(json_path, "system_document");
}

TEST(BenchProcess, SystemAloneRunsNothing) {
    const auto text = bench({"--system"});
    EXPECT_EQ(text.exit_code, 0) << text.err;
    EXPECT_THAT(text.out, HasSubstr("System\n"));
    EXPECT_THAT(text.out, HasSubstr("Processor"));
    EXPECT_THAT(text.out, Not(HasSubstr("benchmark")));
    EXPECT_TRUE(text.err.empty()) << text.err;

    const auto json = bench({"--system", "--json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    expect_valid_text(json.out, "quorlind-bench-system.json", "system_document");
    const auto document = nlohmann::json::parse(json.out);
    EXPECT_FALSE(document.contains("runs"));
    EXPECT_GE(document.at("system").at("logical_processors").get<int>(), 1);
}

}  // namespace
}  // namespace quorlind::bench
