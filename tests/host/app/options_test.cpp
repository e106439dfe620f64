#include "app/options.h"
#include "app/run_plan.h"
#include "command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using testing::library_defaults;

testing::Parsed parse(std::initializer_list<const char*> arguments) {
    return testing::parse_arguments(std::vector<std::string>(arguments.begin(), arguments.end()));
}

TEST(Options, DefaultsComeFromTheLibrary) {
    const auto parsed = parse({});
    ASSERT_EQ(parsed.action, CommandAction::run);
    EXPECT_EQ(parsed.options.threads, ThreadMode::single);
    EXPECT_EQ(parsed.options.repeat, 1u);
    EXPECT_FALSE(parsed.options.system_only);
    const auto config = make_run_config(parsed.options, library_defaults, QUORLIND_BENCHMARK_SINGLE);
    EXPECT_EQ(config.abi_version, QUORLIND_ABI_VERSION);
    EXPECT_EQ(config.struct_size, QUORLIND_CONFIG_SIZE);
    EXPECT_EQ(config.benchmark, QUORLIND_BENCHMARK_SINGLE);
    EXPECT_EQ(config.reserved, 0u);
    EXPECT_EQ(config.warmup_seconds, 120.0);
    EXPECT_EQ(config.measurement_seconds, 60.0);
    EXPECT_FALSE(parsed.options.json);
    EXPECT_FALSE(parsed.options.quiet);
    EXPECT_TRUE(parsed.options.csv_path.empty());
}

TEST(Options, ValuesReachTheRunConfiguration) {
    const auto parsed =
        parse({"--threads", "all", "--warmup", "0", "--measure=0.25", "--csv", "s.csv", "--quiet"});
    ASSERT_EQ(parsed.action, CommandAction::run) << parsed.text;
    EXPECT_EQ(parsed.options.threads, ThreadMode::all);
    const auto config = make_run_config(parsed.options, library_defaults, QUORLIND_BENCHMARK_PER_CPU);
    EXPECT_EQ(config.benchmark, QUORLIND_BENCHMARK_PER_CPU);
    EXPECT_EQ(config.warmup_seconds, 0.0);
    EXPECT_EQ(config.measurement_seconds, 0.25);
    EXPECT_EQ(parsed.options.csv_path, "s.csv");
    EXPECT_TRUE(parsed.options.quiet);
}

TEST(Options, RepeatAndBothKindsPlanAlternatingRuns) {
    const auto parsed = parse({"--threads", "both", "--repeat", "3", "--system"});
    ASSERT_EQ(parsed.action, CommandAction::run) << parsed.text;
    EXPECT_EQ(parsed.options.threads, ThreadMode::both);
    EXPECT_EQ(parsed.options.repeat, 3u);
    EXPECT_TRUE(parsed.options.system_only);

    constexpr std::uint32_t single = QUORLIND_BENCHMARK_SINGLE;
    constexpr std::uint32_t all = QUORLIND_BENCHMARK_PER_CPU;
    EXPECT_EQ(planned_benchmarks(ThreadMode::both, 3),
              (std::vector<std::uint32_t>{single, all, single, all, single, all}));
    EXPECT_EQ(planned_benchmarks(ThreadMode::all, 2), (std::vector<std::uint32_t>{all, all}));
    EXPECT_EQ(planned_benchmarks(ThreadMode::single, 1), (std::vector<std::uint32_t>{single}));

    EXPECT_EQ(parse({"--repeat", "1000"}).options.repeat, 1000u);
    EXPECT_EQ(parse({"--measure", "18446744073709549568"}).options.measurement_seconds,
              18446744073709549568.0);
}

TEST(Options, JsonGoesToStandardOutputOrToAFile) {
    const auto bare = parse({"--json", "--quiet"});  // --quiet is not taken for a file name
    EXPECT_TRUE(bare.options.json_to_stdout());
    EXPECT_TRUE(bare.options.quiet);
    EXPECT_TRUE(parse({"--json", "-"}).options.json_to_stdout());

    const auto file = parse({"--json", "out.json"});
    EXPECT_TRUE(file.options.json);
    EXPECT_FALSE(file.options.json_to_stdout());
    EXPECT_EQ(file.options.json_path, "out.json");

    // - is standard output for every output, and it then holds that output alone.
    const auto csv = parse({"--csv", "-"});
    EXPECT_FALSE(csv.options.json_to_stdout());
    ASSERT_EQ(csv.options.outputs().size(), 1u);
    EXPECT_EQ(csv.options.outputs()[0].path, "-");
}

TEST(Options, BadValuesNameTheOptionAndTheAcceptedRange) {
    struct Case {
        std::initializer_list<const char*> arguments;
        const char* option;
        const char* range;
    };
    const Case cases[] = {
        {{"--warmup", "-1"}, "--warmup", ">= 0"},
        {{"--warmup", "inf"}, "--warmup", "finite"},
        {{"--warmup", "5s"}, "--warmup", ">= 0"},
        {{"--measure", "0"}, "--measure", "> 0"},
        {{"--measure", "-0.5"}, "--measure", "> 0"},
        {{"--measure", "nan"}, "--measure", "finite"},
        {{"--measure", ""}, "--measure", "> 0"},
        {{"--threads", "many"}, "--threads", "'single', 'all' or 'both'"},
        {{"--repeat", "0"}, "--repeat", "1 to 1000"},
        {{"--repeat", "2.5"}, "--repeat", "1 to 1000"},
        {{"--repeat", "-3"}, "--repeat", "1 to 1000"},
        {{"--repeat", "1001"}, "--repeat", "1 to 1000"},
        {{"--repeat", "99999999999"}, "--repeat", "1 to 1000"},
        {{"--measure", "1e20"}, "--measure", "at most 18446744073709549568 seconds"},
        {{"--warmup", "18446744073709551616"}, "--warmup", "at most 18446744073709549568 seconds"},
        {{"--csv", ""}, "--csv", "expected a file name"},
        {{"--json", ""}, "--json", "expected a file name"},
    };
    for (const auto& c : cases) {
        const auto parsed = parse(c.arguments);
        EXPECT_TRUE(parsed.usage_error) << c.option;
        EXPECT_THAT(parsed.text, HasSubstr(c.option));
        EXPECT_THAT(parsed.text, HasSubstr(c.range));
        EXPECT_EQ(parsed.text.find('\n'), std::string::npos) << "one line: " << parsed.text;
    }
}

TEST(Options, MalformedCommandLinesAreUsageErrors) {
    EXPECT_TRUE(parse({"--bogus"}).usage_error);
    EXPECT_TRUE(parse({"--warmup"}).usage_error);
    EXPECT_TRUE(parse({"stray"}).usage_error);
    EXPECT_THAT(parse({"--measure"}).text, HasSubstr("--measure"));
}

TEST(Options, HelpDocumentsOptionsAndExitCodes) {
    const auto parsed = parse({"--help"});
    ASSERT_EQ(parsed.action, CommandAction::show_help);
    for (const char* expected :
         {"--threads", "--warmup", "--measure", "--repeat", "--json", "--csv", "--quiet", "--version",
          "--system", "both", "default 120", "default 60", "130", "usage error"}) {
        EXPECT_THAT(parsed.text, HasSubstr(expected));
    }
    EXPECT_EQ(parse({"--version"}).action, CommandAction::show_version);
}

TEST(ReportOptions, RunOutputsAndTheReportSubcommand) {
    const auto run = parse({"--html", "r.html", "--openmetrics", "r.prom"});
    ASSERT_EQ(run.action, CommandAction::run) << run.text;
    EXPECT_EQ(run.options.html_path, "r.html");
    EXPECT_EQ(run.options.openmetrics_path, "r.prom");

    const auto report = parse({"report", "saved.json", "--openmetrics", "m.prom", "--html", "/tmp/r.html"});
    ASSERT_EQ(report.action, CommandAction::report) << report.text;
    EXPECT_EQ(report.report.result_path, "saved.json");
    EXPECT_EQ(report.report.html_path, "/tmp/r.html");  // a path, not a Windows-style option
    EXPECT_EQ(report.report.openmetrics_path, "m.prom");

    // With no file asked for, the text report is printed.
    const auto text = parse({"report", "saved.json"});
    ASSERT_EQ(text.action, CommandAction::report) << text.text;
    EXPECT_TRUE(text.report.html_path.empty() && text.report.openmetrics_path.empty());
    const auto help = parse({"report", "--help"});
    ASSERT_EQ(help.action, CommandAction::show_help);
    EXPECT_THAT(help.text, HasSubstr("1    the result file cannot be read"));
    EXPECT_THAT(help.text, Not(HasSubstr("130")));
    EXPECT_THAT(help.text, Not(HasSubstr("Ctrl-C")));
}

TEST(ReportOptions, ReportRunsNothing) {
    const std::pair<std::vector<const char*>, const char*> refused[] = {
        {{"report", "--html", "r.html"}, "result"},
        {{"--warmup", "1", "report", "saved.json", "--html", "r.html"},
         "--warmup belongs to a benchmark run"},
        {{"--html", "r.html", "report", "saved.json", "--openmetrics", "m.prom"}, "--html belongs"},
        {{"report", "saved.json", "--html"}, "--html"},
        {{"--html"}, "--html"},
        {{"--openmetrics", ""}, "--openmetrics: expected a file name"},
        {{"--system", "--html", "r.html"}, "no result for --html"},
    };
    for (const auto& [arguments, message] : refused) {
        const auto parsed =
            testing::parse_arguments(std::vector<std::string>(arguments.begin(), arguments.end()));
        EXPECT_TRUE(parsed.usage_error) << arguments[0];
        EXPECT_THAT(parsed.text, HasSubstr(message)) << arguments[0];
    }
}

}  // namespace
}  // namespace quorlind::bench
