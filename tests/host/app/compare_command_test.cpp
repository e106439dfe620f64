// The compare subcommand from parsed options to exit code, and its writers.
// These run under Wine too, where no process test does.
#include "app/compare_command.h"

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "compare/comparison_json.h"
#include "report/text/comparison_report.h"
#include "app/options.h"
#include "command_line.h"
#include "result_files.h"

namespace quorlind::bench {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using json = nlohmann::json;
using testing::fixture;
using testing::fixture_path;
using testing::read_text;
using testing::result_of;

testing::Parsed parse(const std::vector<std::string>& arguments) {
    return testing::parse_arguments(arguments);
}

struct Outcome {
    int exit_code = -1;
    std::string out;
    std::string err;
};

Outcome compare(std::initializer_list<std::string> arguments) {
    const testing::Parsed parsed = parse(arguments);
    EXPECT_EQ(parsed.action, CommandAction::compare) << parsed.text;
    std::ostringstream out;
    std::ostringstream err;
    const int exit_code = run_compare(parsed.compare, "9.9.9", out, err);
    return {exit_code, out.str(), err.str()};
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

const std::string base_file = fixture_path("result-v2-base.json");
const std::string slower_file = fixture_path("result-v2-slower.json");
const std::string other_library_file = fixture_path("result-v2-other-library.json");

TEST(CompareOptions, FilesThresholdConfidenceAndJson) {
    const auto parsed = parse({"compare", "a.json", "b.json", "c.json", "--threshold", "5",
                               "--confidence=0.99", "--json", "out.json"});
    ASSERT_EQ(parsed.action, CommandAction::compare) << parsed.text;
    EXPECT_EQ(parsed.compare.files, (std::vector<std::string>{"a.json", "b.json", "c.json"}));
    EXPECT_EQ(parsed.compare.settings.threshold_percent, 5.0);
    EXPECT_EQ(parsed.compare.settings.confidence, 0.99);
    EXPECT_FALSE(parsed.compare.json_to_stdout());
    EXPECT_EQ(parsed.compare.json_path, "out.json");

    // A value is needed: an optional one would take a following input for the output.
    EXPECT_TRUE(parse({"compare", "a.json", "b.json", "--json"}).usage_error);
    EXPECT_TRUE(parse({"compare", "--json", "a.json", "b.json"}).usage_error);
    const auto plain = parse({"compare", "a.json", "b.json", "--json", "-"});
    EXPECT_EQ(plain.compare.settings.threshold_percent, 2.0);
    EXPECT_EQ(plain.compare.settings.confidence, 0.95);
    EXPECT_TRUE(plain.compare.json_to_stdout());

    // On Windows CLI11 would take "/data" for an option; paths like it arrive under Wine.
    EXPECT_EQ(parse({"compare", "/data/a.json", "/data/b.json"}).compare.files,
              (std::vector<std::string>{"/data/a.json", "/data/b.json"}));
    EXPECT_EQ(parse({"--json", "/data/out.json"}).options.json_path, "/data/out.json");

    EXPECT_EQ(parse({}).action, CommandAction::run) << "no subcommand still runs a benchmark";
    EXPECT_THAT(parse({"compare", "--help"}).text,
                HasSubstr("3  slower: the whole interval lies below -threshold"));
    EXPECT_THAT(parse({"compare", "--help"}).text, HasSubstr("0  same or faster"));
    EXPECT_THAT(parse({"--help"}).text, HasSubstr("compare"));
}

TEST(CompareOptions, UsageErrorsNameTheOption) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"compare", "a.json"}, "files"},
        {{"compare"}, "files"},
        {{"compare", "a.json", "b.json", "--threshold", "100"}, "--threshold: expected a percentage"},
        {{"compare", "a.json", "b.json", "--threshold", "-1"}, "--threshold"},
        {{"compare", "a.json", "b.json", "--threshold", "2%"}, "--threshold"},
        {{"compare", "a.json", "b.json", "--confidence", "95"},
         "--confidence: expected a level between 0 and 1"},
        {{"compare", "a.json", "b.json", "--confidence", "1"}, "--confidence"},
        {{"compare", "a.json", "b.json", "--confidence", "nan"}, "--confidence"},
        {{"--threads", "all", "compare", "a.json", "b.json"}, "--threads belongs to a benchmark run"},
        {{"compare", "a.json", "b.json", "--measure", "3"}, "--measure"},
    };
    for (const auto& [arguments, message] : cases) {
        const auto parsed = parse(arguments);
        EXPECT_TRUE(parsed.usage_error) << message;
        EXPECT_THAT(parsed.text, HasSubstr(message));
    }
}

TEST(CompareCommand, ExitCodesForCiGates) {
    const auto slower = compare({"compare", base_file, slower_file});
    EXPECT_EQ(slower.exit_code, 3) << slower.err;
    EXPECT_THAT(slower.out, HasSubstr("slower"));
    EXPECT_TRUE(slower.err.empty());

    EXPECT_EQ(compare({"compare", base_file, base_file}).exit_code, 5) << "2 % is not excluded";
    EXPECT_EQ(compare({"compare", base_file, base_file, "--threshold", "5"}).exit_code, 0);
    EXPECT_EQ(compare({"compare", slower_file, base_file, "--threshold", "5"}).exit_code, 0) << "faster";
    EXPECT_EQ(compare({"compare", base_file, slower_file, "--threshold", "20"}).exit_code, 0);
    EXPECT_EQ(compare({"compare", base_file, other_library_file}).exit_code, 4);
    EXPECT_EQ(compare({"compare", base_file, other_library_file, slower_file}).exit_code, 3);
    EXPECT_EQ(compare({"compare", base_file, base_file, other_library_file}).exit_code, 4);

    // One run against three borrows their spread only on the same machine.
    const std::string one_run = fixture_path("result-v1.json");
    EXPECT_EQ(compare({"compare", one_run, base_file, "--threshold", "50"}).exit_code, 5);
    EXPECT_EQ(compare({"compare", one_run, base_file, "--threshold", "50", "--same-machine"}).exit_code, 0);
    const auto small_detect = parse({"compare", base_file, base_file, "--detect", "2"});
    EXPECT_NE(small_detect.action, CommandAction::compare) << "not above the 2 % threshold";
    EXPECT_THAT(small_detect.text, HasSubstr("--detect: expected a percentage above the threshold"));
}

// One run per file could not decide: 5, below 3 and 4 but above 0.
TEST(CompareCommand, OneRunPerFileExits5WithTheReason) {
    const std::string v1_file = fixture_path("result-v1.json");
    const auto undecided = compare({"compare", v1_file, v1_file});
    EXPECT_EQ(undecided.exit_code, 5) << undecided.err;
    EXPECT_THAT(undecided.out, HasSubstr("inconclusive"));
    EXPECT_THAT(undecided.out,
                HasSubstr("one run per file cannot tell a change from run-to-run variation; run "
                          "both with --repeat 3 or more"));
    EXPECT_THAT(undecided.out, HasSubstr("no run-to-run spread is known"));
    EXPECT_EQ(compare({"compare", v1_file, v1_file, other_library_file}).exit_code, 4);
    EXPECT_EQ(compare({"compare", base_file, slower_file, v1_file}).exit_code, 3);
}

TEST(CompareCommand, BadFileStopsEverythingAndWritesNothing) {
    const std::string truncated = ::testing::TempDir() + "quorlind-compare-truncated.json";
    const std::string output = ::testing::TempDir() + "quorlind-compare-output.json";
    const std::string text = read_text(slower_file);
    std::ofstream(truncated, std::ios::binary) << text.substr(0, text.size() / 2);
    std::remove(output.c_str());

    const auto bad = compare({"compare", base_file, truncated, "--json", output});
    EXPECT_EQ(bad.exit_code, 1);
    EXPECT_TRUE(bad.out.empty()) << bad.out;
    EXPECT_THAT(bad.err, AllOf(HasSubstr("quorlind-bench: " + truncated + ": "), HasSubstr("truncated")));
    EXPECT_FALSE(exists(output)) << "no output file for a bad input";
    std::ofstream(output, std::ios::binary) << "previous";
    EXPECT_EQ(compare({"compare", base_file, truncated, "--json", output}).exit_code, 1);
    EXPECT_EQ(read_text(output), "previous") << "an earlier file is left as it was";
    std::remove(output.c_str());
    std::remove(truncated.c_str());

    const auto missing = compare({"compare", base_file, truncated});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_THAT(missing.err, HasSubstr(truncated + ": cannot open the file"));

    const auto unwritable =
        compare({"compare", base_file, base_file, "--json", ::testing::TempDir() + "no-such-dir/out.json"});
    EXPECT_EQ(unwritable.exit_code, 2);
    EXPECT_THAT(unwritable.err, HasSubstr("--json: cannot write to"));
    // Known before any input is read.
    EXPECT_EQ(
        compare({"compare", base_file, truncated, "--json", ::testing::TempDir() + "no-such-dir/out.json"})
            .exit_code,
        2);
}

TEST(CompareCommand, JsonToAFileOrAloneOnStandardOutput) {
    const std::string output = ::testing::TempDir() + "quorlind-compare-output.json";
    const auto to_file = compare({"compare", base_file, slower_file, "--json", output});
    EXPECT_EQ(to_file.exit_code, 3);
    EXPECT_THAT(to_file.out, HasSubstr("Quorlind comparison")) << "the report still goes to standard output";
    const json written = json::parse(read_text(output));
    EXPECT_EQ(written["outcome"], "slower");
    std::remove(output.c_str());

    const auto to_stdout = compare({"compare", base_file, slower_file, "--json", "-"});
    EXPECT_EQ(to_stdout.exit_code, 3);
    const json printed = json::parse(to_stdout.out);  // nothing else on standard output
    EXPECT_EQ(printed["tool"]["version"], "9.9.9");
    EXPECT_EQ(printed["files"][1]["path"], slower_file);
}

// Slower, not comparable, and an older file with one run, against the base.
Comparison every_fixture_against_the_base() {
    return compare_results({result_of(fixture("result-v2-base.json"), "base.json"),
                            result_of(fixture("result-v2-slower.json"), "s.json"),
                            result_of(fixture("result-v2-other-library.json"), "o.json"),
                            result_of(fixture("result-v1.json"), "v1.json")},
                           {});
}

TEST(ComparisonJson, HoldsEveryFindingWithNullsForTheUnknown) {
    const Comparison comparison = every_fixture_against_the_base();
    const json document = json::parse(comparison_to_json(comparison, "0.0.2").dump());
    EXPECT_EQ(document["schema_version"], 1);
    EXPECT_EQ(document["settings"]["threshold_percent"], 2.0);
    EXPECT_EQ(document["outcome"], "slower");
    EXPECT_EQ(document["files"][3]["schema_version"], 1);
    EXPECT_TRUE(document["files"][3]["start_time_utc"].is_null());
    ASSERT_EQ(document["comparisons"].size(), 3u);

    const json& slower = document["comparisons"][0];
    EXPECT_EQ(slower["new"], 1);
    EXPECT_EQ(slower["slower"], true);
    const json& single = slower["kinds"][0];
    EXPECT_EQ(single["threads"], "single");
    EXPECT_EQ(single["verdict"], "slower");
    EXPECT_EQ(single["uncertainty"]["source"], "between_runs");
    EXPECT_EQ(single["base"]["runs"], 3);
    EXPECT_NEAR(single["change_percent"].get<double>(), -10.0, 0.1);
    EXPECT_LT(single["ratio_ci_high"].get<double>(), 0.98);
    EXPECT_LT(single["p_slower"].get<double>(), 0.025);
    EXPECT_TRUE(single["p_value"].is_null()) << "two-sided only at threshold 0";
    EXPECT_GE(single["p_adjusted"].get<double>(), single["p_slower"].get<double>());
    EXPECT_EQ(document["multiple_testing"]["method"], "holm");
    // In the field table's order: host name, governor, boost.
    EXPECT_EQ(slower["environment"][2], (json{{"field", "system.boost"}, {"base", true}, {"new", false}}));

    const json& other = document["comparisons"][1];
    EXPECT_EQ(other["comparable"], false);
    EXPECT_THAT(other["not_comparable_reasons"][0].get<std::string>(), HasSubstr("library version"));
    EXPECT_TRUE(other["kinds"][0]["verdict"].is_null());

    const json& older = document["comparisons"][2];
    // One run against three, and nothing says it is one machine: the three
    // cannot lend their spread to the one.
    EXPECT_EQ(older["kinds"][0]["uncertainty"]["source"], "within_runs");
    EXPECT_EQ(older["kinds"][0]["uncertainty"]["run_to_run_covered"], false);
    EXPECT_EQ(older["kinds"][0]["uncertainty"]["equal_relative_spread_assumed"], false);
    EXPECT_EQ(older["kinds"][0]["verdict"], "inconclusive");
    EXPECT_THAT(older["kinds"][0]["inconclusive_reason"].get<std::string>(), HasSubstr("--same-machine"));
    EXPECT_EQ(older["kinds"][0]["new"]["runs"], 1);
    EXPECT_GT(older["fields_known_in_one_file"].get<int>(), 10);
    EXPECT_EQ(older["notes"].size(), 1u);
}

TEST(ComparisonReport, OneTableThenEachPairsDetails) {
    const Comparison comparison = every_fixture_against_the_base();
    std::ostringstream out;
    write_comparison_report(out, comparison);
    const std::string text = out.str();
    EXPECT_THAT(text, HasSubstr("threshold 2 %, confidence 95 %"));
    EXPECT_THAT(text, HasSubstr("BASE   base.json (started 2026-01-05T10:00:00Z)"));
    EXPECT_THAT(text, HasSubstr("NEW 3  v1.json (an older result file"));
    EXPECT_THAT(text, HasSubstr("95 % interval"));
    EXPECT_THAT(text, HasSubstr("NEW 1  single-thread      10,000      9,000    0.9000"));
    EXPECT_THAT(text, HasSubstr("-10.0 %  slower"));
    EXPECT_THAT(text, HasSubstr("NEW 2  single-thread"));
    EXPECT_THAT(text, HasSubstr("not comparable\n"));
    EXPECT_THAT(text,
                HasSubstr("NEW 2 against BASE: not comparable\n  Why not      the library version differs"));
    EXPECT_THAT(text, HasSubstr("Welch's t-test on 3 and 3 run throughputs (t = "));
    EXPECT_THAT(text, HasSubstr("inconclusive: a single run's spread is unknown, and the files are not known "
                                "to come from the same machine"));
    EXPECT_THAT(text, HasSubstr("a true 4 % slowdown comes out slower 80 % of the time"));
    EXPECT_THAT(text, HasSubstr("one-sided p = "));
    EXPECT_THAT(text, HasSubstr(" for 'NEW is slower by more than 2 %'"));
    EXPECT_THAT(text,
                HasSubstr("tests decide together: their levels are adjusted by the Holm-Bonferroni method"));
    EXPECT_THAT(text, HasSubstr("Frequency governor  performance  ->  powersave"));
    EXPECT_THAT(text, HasSubstr("known in only one file: Tool build type, Tool compiler,"));
    EXPECT_THAT(text, HasSubstr("only BASE has completed all-threads runs"));
    EXPECT_THAT(text, Not(HasSubstr("start_time")));
}

// The text says which case let one run borrow the other file's spread.
TEST(ComparisonReport, OneRunSaysWhySpreadIsBorrowed) {
    const json base = fixture("result-v2-base.json");
    json one = base;
    one["runs"] = json::array({base["runs"][0]});
    std::ostringstream records;
    write_comparison_report(records, compare_results({result_of(one), result_of(base)}, {}));
    EXPECT_THAT(records.str(), HasSubstr("since both files come from the same machine"));
    json elsewhere = one;
    elsewhere["system"]["host_name"] = "bench-z";
    ComparisonSettings asserted;
    asserted.same_machine = true;
    std::ostringstream flag;
    write_comparison_report(flag, compare_results({result_of(elsewhere), result_of(base)}, asserted));
    EXPECT_THAT(flag.str(), HasSubstr("since --same-machine says both come from one machine"));
    EXPECT_THAT(flag.str(), HasSubstr("the single run takes the other file's spread, up to 3 times over"));
}

TEST(ComparisonReport, TextFromTheFilesCannotSteerTheTerminal) {
    json hostile = fixture("result-v2-slower.json");
    hostile["system"]["processor"] = "\x1b[2J\x1b]0;owned\x07 CPU\r\nfake line";
    hostile["system"]["library_version"] = "0.0.2\x1b[31m";
    const std::string path = "\x1b[1mname.json";
    const Comparison comparison =
        compare_results({result_of(fixture("result-v2-base.json")), result_of(hostile, path)}, {});
    std::ostringstream out;
    write_comparison_report(out, comparison);
    const std::string text = out.str();
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_THAT(text, HasSubstr("\\x1b[2J\\x1b]0;owned\\x07 CPU\\r\\nfake line"));
    EXPECT_THAT(text, HasSubstr("\\x1b[1mname.json"));
    EXPECT_THAT(text, HasSubstr("(0.0.2 and 0.0.2\\x1b[31m)"));

    // JSON keeps the text as it was; its own escaping makes it safe there.
    const json document = json::parse(comparison_to_json(comparison, "0.0.2").dump());
    EXPECT_EQ(document["files"][1]["path"], path);
}

}  // namespace
}  // namespace quorlind::bench
