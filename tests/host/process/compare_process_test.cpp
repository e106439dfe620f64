// `quorlind-bench compare` run as a child process, as a CI gate would run it.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "child_process.h"

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;
using json = nlohmann::json;
using testing::ChildResult;

constexpr std::chrono::seconds limit{60};

const std::string data_dir = QUORLIND_SOURCE_DIR "/tests/host/data";
const std::string result_schema = QUORLIND_SOURCE_DIR "/docs/schema/result.schema.json";
const std::string comparison_schema = QUORLIND_SOURCE_DIR "/docs/schema/comparison.schema.json";
const std::string base_file = data_dir + "/result-v2-base.json";
const std::string slower_file = data_dir + "/result-v2-slower.json";

ChildResult bench(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QUORLIND_BENCH_EXECUTABLE);
    return testing::run_child(arguments, limit);
}

std::string temp_path(const std::string& name) { return ::testing::TempDir() + "quorlind-compare-" + name; }

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

// Debian's python3-jsonschema, the same check any consumer of the file can make.
void expect_valid(const std::string& schema, const std::string& path) {
    const auto result = testing::run_child(
        {QUORLIND_PYTHON, QUORLIND_SOURCE_DIR "/tests/host/validate_result.py", schema, path}, limit);
    EXPECT_EQ(result.exit_code, 0) << path << " against " << schema << ":\n" << result.err;
}

TEST(CompareProcess, DeliberatelySlowedResultGivesExit3AndAValidComparison) {
    const std::string output = temp_path("slower.json");
    const auto result = bench({"compare", base_file, slower_file, "--json", output});
    EXPECT_EQ(result.exit_code, 3) << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
    EXPECT_THAT(result.out, HasSubstr("-10.0 %  slower"));
    EXPECT_THAT(result.out, HasSubstr("Frequency governor"));
    expect_valid(comparison_schema, output);
    EXPECT_EQ(json::parse(read_file(output))["outcome"], "slower");
    std::remove(output.c_str());

    // The files the tests compare are valid results themselves.
    for (const char* name :
         {"result-v2-base.json", "result-v2-slower.json", "result-v2-other-library.json"}) {
        expect_valid(result_schema, data_dir + "/" + name);
    }
}

TEST(CompareProcess, ExitCodesOfTheOtherOutcomes) {
    // Three runs of 1 % spread cannot exclude 2 %; they can exclude 5 %.
    EXPECT_EQ(bench({"compare", base_file, base_file}).exit_code, 5);
    EXPECT_EQ(bench({"compare", base_file, base_file, "--threshold", "5"}).exit_code, 0);
    EXPECT_EQ(bench({"compare", slower_file, base_file, "--threshold", "5"}).exit_code, 0)
        << "faster is no slowdown";
    const auto other = bench({"compare", base_file, data_dir + "/result-v2-other-library.json"});
    EXPECT_EQ(other.exit_code, 4);
    EXPECT_THAT(other.out, HasSubstr("not comparable"));
    // Version 1 against version 2, and several files as one table.
    const auto mixed =
        bench({"compare", data_dir + "/result-v1.json", base_file, slower_file, "--json", "-"});
    EXPECT_EQ(mixed.exit_code, 5) << "one run, and nothing says it is the same machine";
    EXPECT_EQ(json::parse(mixed.out)["comparisons"].size(), 2u);

    const auto usage = bench({"compare", base_file});
    EXPECT_EQ(usage.exit_code, 2);
    EXPECT_TRUE(usage.out.empty());
    EXPECT_EQ(bench({"compare", base_file, base_file, "--confidence", "95"}).exit_code, 2);
}

TEST(CompareProcess, EveryBadInputGivesExit1TheFileAndTheReasonAndNoOutput) {
    const json good = json::parse(read_file(slower_file));
    std::string text = good.dump(2);
    json other_version = good;
    other_version["schema_version"] = 7;
    json other_tool = good;
    other_tool["tool"]["name"] = "some-other-bench";
    json negative = good;
    negative["runs"][2]["summary"]["ops_per_second"] = -9000.0;
    json no_runs = good;
    no_runs["runs"] = json::array();
    std::string not_a_number = text;
    const auto throughput = not_a_number.find("\"ops_per_second\": ") + 18;
    not_a_number.replace(throughput, not_a_number.find_first_of(",\n}", throughput) - throughput, "NaN");

    const std::pair<std::string, std::string> cases[] = {
        {text.substr(0, text.size() * 2 / 3), "ends too early (a truncated file?)"},
        {other_version.dump(), "schema_version 7 is not one this tool reads"},
        {other_tool.dump(), "not a quorlind-bench result: tool.name is 'some-other-bench'"},
        {not_a_number, "not valid JSON"},
        {negative.dump(), "runs[2].summary.ops_per_second is negative (-9000)"},
        {no_runs.dump(), "the file holds no runs"},
        {"", "the file is empty"},
    };
    const std::string input = temp_path("bad-input.json");
    const std::string output = temp_path("never-written.json");
    for (const auto& [content, reason] : cases) {
        write_file(input, content);
        std::remove(output.c_str());
        const auto result = bench({"compare", base_file, input, "--json", output});
        EXPECT_EQ(result.exit_code, 1) << reason;
        EXPECT_EQ(result.err.rfind("quorlind-bench: " + input + ": ", 0), 0u) << result.err;
        EXPECT_THAT(result.err, HasSubstr(reason));
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(result.out.empty());
        EXPECT_FALSE(exists(output)) << reason;
    }

    // Far beyond the cap, and sparse, so it costs no disk.
    {
        std::ofstream huge(input, std::ios::binary | std::ios::trunc);
        huge.seekp((65 << 20) - 1);
        huge.put('}');
    }
    const auto huge = bench({"compare", input, base_file});
    EXPECT_EQ(huge.exit_code, 1);
    EXPECT_THAT(huge.err, HasSubstr(input + ": larger than 67108864 bytes"));
    std::remove(input.c_str());
}

TEST(CompareProcess, TwoRealSeriesCompareByTheirRunToRunSpread) {
    const std::string first = temp_path("real-1.json");
    const std::string second = temp_path("real-2.json");
    for (const auto& path : {first, second}) {
        const auto run =
            bench({"--repeat", "3", "--warmup", "0", "--measure", "1.1", "--quiet", "--json", path});
        ASSERT_EQ(run.exit_code, 0) << run.err;
    }
    const std::string output = temp_path("real.json");
    const auto result = bench({"compare", first, second, "--json", output});
    // Timing decides between the two on a shared machine; the crafted files above pin each verdict.
    EXPECT_TRUE(result.exit_code == 0 || result.exit_code == 3 || result.exit_code == 5)
        << result.exit_code << result.err;
    EXPECT_THAT(result.out,
                HasSubstr("from the spread between runs, Welch's t-test on 3 and 3 run throughputs"));
    expect_valid(comparison_schema, output);
    const json comparison = json::parse(read_file(output));
    EXPECT_EQ(comparison["comparisons"][0]["comparable"], true);
    EXPECT_EQ(comparison["outcome"], result.exit_code == 3   ? "slower"
                                     : result.exit_code == 5 ? "inconclusive"
                                                             : "no slowdown");
    for (const auto& path : {first, second, output}) {
        std::remove(path.c_str());
    }
}

}  // namespace
}  // namespace quorlind::bench
