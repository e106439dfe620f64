#include "result/reader.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "result/json_writer.h"
#include "result_files.h"
#include "result_fixtures.h"

namespace quorlind::bench {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using json = nlohmann::json;

using testing::fixture;
using testing::read_text;

const std::string version1_fixture = testing::fixture_path("result-v1.json");

json version1() { return fixture("result-v1.json"); }

// The version-1 fixture upgraded and its run repeated, as a current file
// would hold it: figures and all, as the writer makes them.
json current() {
    Result upgraded = parse_result_text(read_text(version1_fixture), "v1.json");
    RunRecord again = upgraded.record.runs[0];
    again.index = 1;
    upgraded.record.runs.push_back(again);
    upgraded.record.repeat = 2;
    return json(to_json(result_of_run(upgraded.record)));
}

std::string error_of(const json& document, const std::string& name = "bad.json") {
    try {
        parse_result_text(document.dump(), name);
    } catch (const InvalidResultFile& error) {
        return error.what();
    }
    return "accepted";
}

std::string error_of_text(const std::string& text) {
    try {
        parse_result_text(text, "bad.json");
    } catch (const InvalidResultFile& error) {
        return error.what();
    }
    return "accepted";
}

TEST(ResultReader, Version1FileBecomesOneRunInTheCurrentLayout) {
    const Result result = read_result_file(version1_fixture);
    EXPECT_EQ(result.path, version1_fixture);
    EXPECT_EQ(result.schema_version_read, 1);
    EXPECT_EQ(result.record.warmup_seconds, 0.5);
    EXPECT_EQ(result.record.measurement_seconds, 3.0);
    EXPECT_EQ(result.record.system.library_version, "0.0.2");
    EXPECT_EQ(result.record.system.abi_version, 1u);
    ASSERT_EQ(result.record.runs.size(), 1u);
    const RunRecord& run = result.record.runs[0];
    EXPECT_EQ(run.summary.status, QUORLIND_STATUS_COMPLETED);
    EXPECT_EQ(run.config.benchmark, QUORLIND_BENCHMARK_SINGLE);
    EXPECT_EQ(run.config.warmup_seconds, 0.5);
    EXPECT_EQ(run.summary.ops_per_second, 8862.851456386923);
    EXPECT_EQ(run.summary.checksum, 16429905683122116261ull);
    ASSERT_EQ(run.samples.size(), 3u);
    EXPECT_EQ(run.samples[1].duration_seconds, 1.0079816649999997);
    EXPECT_EQ(run.samples[2].operations, 8720u);

    const json document(to_json(result));
    EXPECT_EQ(document["schema_version"], 3);
    EXPECT_TRUE(document["runs"][0]["load"].is_null());
    EXPECT_EQ(document["configuration"]["repeat"], 1);
    EXPECT_EQ(document["configuration"]["threads"], "single");
    EXPECT_EQ(document["system"]["processor"], "AMD EPYC");
    EXPECT_TRUE(document["system"]["host_name"].is_null());
    EXPECT_TRUE(document["system"]["smt"].is_null());
    EXPECT_TRUE(document["tool"]["compiler"].is_null());
    EXPECT_EQ(document["runs"][0]["summary"], version1()["summary"]);
    EXPECT_EQ(document["runs"][0]["partial"], false);
    EXPECT_EQ(document["scaling"], nullptr);
    EXPECT_EQ(document["notes"], version1()["notes"]);

    const json& single = document["statistics"]["single"];
    EXPECT_EQ(single["runs"], 1);
    EXPECT_EQ(single["completed"], 1);
    EXPECT_EQ(single["median"].get<double>(), 8862.851456386923);
    EXPECT_EQ(single["mean"], single["maximum"]);
    EXPECT_TRUE(single["ci95_low"].is_null()) << "one run has no interval";
    EXPECT_TRUE(single["cv_percent"].is_null());
    EXPECT_FALSE(document["statistics"].contains("all"));
}

TEST(ResultReader, CurrentFileKeepsEveryRunAndVersion2ReadsWithoutLoad) {
    const Result result = parse_result_text(current().dump(), "v3.json");
    EXPECT_EQ(result.schema_version_read, 3);
    ASSERT_EQ(result.record.runs.size(), 2u);
    EXPECT_EQ(result.record.runs[1].index, 1u);
    EXPECT_EQ(json(to_json(result)), current());

    json version2 = current();
    version2["schema_version"] = 2;
    for (auto& run : version2["runs"]) {
        run.erase("load");
    }
    const Result older = parse_result_text(version2.dump(), "v2.json");
    EXPECT_EQ(older.schema_version_read, 2);
    EXPECT_FALSE(older.record.runs[0].load);
    EXPECT_EQ(json(to_json(older)), current());
}

// A sampled run's figures come back as written; its causes are worked out
// again, and a figure of the wrong type, or one interval too many, is named.
TEST(ResultReader, LoadRoundTripsAndIsReadStrictly) {
    Result upgraded = parse_result_text(read_text(version1_fixture), "v1.json");
    RunRecord& run = upgraded.record.runs[0];
    RunLoad load;
    for (std::size_t i = 0; i < run.samples.size(); ++i) {
        LoadFigures figures;
        figures.worker_cpu_share = i == 1 ? 0.5 : 0.99;
        figures.other_processes_cpus = i == 1 ? 1.0 : 0.0;
        figures.involuntary_switches = 0;
        load.intervals.push_back(figures);
    }
    load.measurement.worker_cpu_share = 0.83;
    load.measurement.worker_cpu_seconds = 2.5;
    load.availability = {{"clock_mhz", false, "no cpufreq driver"}};
    run.load = load;
    const json written(to_json(result_of_run(upgraded.record)));
    const json& load_json = written["runs"][0]["load"];
    EXPECT_EQ(load_json["disturbed"], true);
    ASSERT_EQ(load_json["causes"].size(), 1u);
    EXPECT_EQ(load_json["causes"][0]["kind"], "other_processes");
    EXPECT_EQ(load_json["causes"][0]["intervals"], json::array({1}));
    EXPECT_TRUE(load_json["intervals"][0]["clock_mhz"].is_null());

    const Result read = parse_result_text(written.dump(), "load.json");
    EXPECT_EQ(json(to_json(read)), written);
    EXPECT_TRUE(read.recomputed.empty());
    ASSERT_TRUE(read.record.runs[0].load);
    EXPECT_EQ(read.record.runs[0].load->availability[0].reason, "no cpufreq driver");

    json edited = written;
    edited["runs"][0]["load"]["disturbed"] = false;
    EXPECT_THAT(parse_result_text(edited.dump(), "edited.json").recomputed,
                ::testing::Contains("load causes of run 1"));
    edited = written;
    edited["runs"][0]["load"]["intervals"][2]["other_processes_cpus"] = "1";
    EXPECT_THAT(error_of(edited),
                HasSubstr("runs[0].load.intervals[2].other_processes_cpus should be a number"));
    edited = written;
    edited["runs"][0]["load"]["intervals"].push_back(written["runs"][0]["load"]["intervals"][0]);
    EXPECT_THAT(error_of(edited),
                HasSubstr("runs[0].load.intervals holds 4 intervals for the run's 3 samples"));
    edited = written;
    edited["runs"][0]["load"]["causes"][0]["kind"] = "gremlins";
    EXPECT_THAT(error_of(edited), HasSubstr("runs[0].load.causes[0].kind should be other_processes"));
    edited = written;
    edited["runs"][0]["load"]["causes"][0]["intervals"] = {7};
    EXPECT_THAT(error_of(edited), HasSubstr("should name one of the run's 3 intervals"));
}

// Written before the paired ratio: the scaling had no interval, pairs,
// workers or cores. The layout still reads; the figure is worked out again
// from the runs, as the pairs are today.
TEST(ResultReader, OlderScalingWithoutPairsReadsAndIsWorkedOutAgain) {
    const Result read = read_result_file(testing::fixture_path("result-v2-both.json"));
    ASSERT_TRUE(read.scaling);
    const Result today = result_of_run(read.record);
    EXPECT_EQ(read.scaling->multi_core_ratio, today.scaling->multi_core_ratio);
    EXPECT_EQ(read.scaling->pairs, today.scaling->pairs);
    EXPECT_GT(read.scaling->pairs, 0u);
    EXPECT_THAT(read.recomputed, ::testing::Contains("scaling"));

    json document = json::parse(to_json(read).dump());
    document["scaling"]["multi_core_ratio_interval"] = {{"low", 3.5}, {"high", 4.2}};
    document["scaling"]["physical_cores"] = nullptr;
    const Result edited = parse_result_text(document.dump(), "edited.json");
    EXPECT_EQ(edited.scaling->multi_core_ratio_interval.has_value(),
              read.scaling->multi_core_ratio_interval.has_value());
    EXPECT_EQ(edited.recomputed, std::vector<std::string>{"scaling"});
    document["scaling"]["pairs"] = "two";
    EXPECT_THAT(error_of(document), HasSubstr("scaling.pairs should be a whole number"));
}

TEST(ResultReader, FailedAndCancelledRunsAreValidButNotCompleted) {
    json cancelled = version1();
    cancelled["status"] = {{"code", 1}, {"name", "cancelled"}, {"reason", "cancelled"}};
    cancelled["summary"]["status"] = 1;
    cancelled["summary"]["ops_per_second"] = 0;
    const Result result = parse_result_text(cancelled.dump(), "cancelled.json");
    EXPECT_TRUE(is_partial(result.record.runs[0]));
    EXPECT_EQ(to_json(result)["runs"][0]["partial"], true);
    EXPECT_EQ(result.record.runs[0].reason, "cancelled");
    EXPECT_EQ(to_json(result)["statistics"]["single"]["completed"], 0);
    EXPECT_TRUE(to_json(result)["statistics"]["single"]["median"].is_null());
}

// What a run wrote reads back into the same result: written again, it is the same document.
TEST(ResultReader, ARunsResultReadsBackWhole) {
    using testing::completed_run;
    std::vector<QuorlindIntervalSample> falling;  // a drift, so the stability has every member set
    for (int i = 0; i < 6; ++i) {
        falling.push_back(testing::sample(i + 1.0, 1.0, static_cast<std::uint64_t>(1000 - 20 * i)));
    }
    const Result made =
        result_of_run(testing::test_result({completed_run(0, QUORLIND_BENCHMARK_SINGLE, 950.0, falling),
                                            completed_run(1, QUORLIND_BENCHMARK_PER_CPU, 3500.0),
                                            testing::cancelled_run(2, QUORLIND_BENCHMARK_SINGLE, 800)},
                                           ThreadMode::both, 2));
    const Result read = parse_result_text(to_json(made).dump(), "made.json");
    EXPECT_EQ(to_json(read), to_json(made));
    EXPECT_EQ(read.record.runs[0].stability.instability, Instability::drift);
    EXPECT_EQ(read.record.runs[0].stability.measured_seconds, 6.0);

    EXPECT_TRUE(read.recomputed.empty());

    // Raw data are the truth: figures edited in the file are worked out again
    // from the runs and intervals, and named.
    json edited = json::parse(to_json(made).dump());
    edited["statistics"]["single"]["median"] = 1234.5;
    edited["runs"][1]["stability"]["instability"] = "noise";
    edited["runs"][0]["stability"]["trend_percent"] = -1.0;
    const Result changed = parse_result_text(edited.dump(), "edited.json");
    EXPECT_EQ(changed.single->median, made.single->median);
    EXPECT_EQ(changed.record.runs[1].stability.instability, Instability::none);
    EXPECT_EQ(changed.record.runs[0].stability.trend_percent, made.record.runs[0].stability.trend_percent);
    EXPECT_THAT(changed.recomputed,
                ::testing::ElementsAre("stability of run 1", "stability of run 2", "statistics of single"));
    EXPECT_EQ(to_json(changed), to_json(made));
    // Rounding in the last digits is no difference.
    json rounded = json::parse(to_json(made).dump());
    rounded["statistics"]["single"]["median"] = made.single->median.value() * (1 + 1e-12);
    EXPECT_TRUE(parse_result_text(rounded.dump(), "rounded.json").recomputed.empty());
}

// One reading style: a member of the wrong type is an error naming it;
// null is unknown; only members the schema lets older files lack may be absent.
TEST(ResultReader, SystemFieldsOfTheWrongTypeAreRefusedByName) {
    const json written = to_json(result_of_run(testing::test_result(
        {testing::completed_run(0, QUORLIND_BENCHMARK_SINGLE, 950.0)}, ThreadMode::single, 1)));
    const std::pair<const char*, json> wrong[] = {
        {"/system/packages", "two"},
        {"/system/smt", 1},
        {"/system/caches/l2", json{{"size_bytes", "1 MiB"}, {"count", 2}}},
        {"/system/load_average/before", json::array({1, 2})},
        {"/system/effective_clock_mhz/after", "fast"},
        {"/system/start_time_utc", "yesterday"},
        {"/tool/compiler", 12},
    };
    for (const auto& [pointer, value] : wrong) {
        json document = written;
        document[json::json_pointer(pointer)] = value;
        std::string place = std::string(pointer).substr(1);
        std::replace(place.begin(), place.end(), '/', '.');
        EXPECT_THAT(error_of(document), HasSubstr(place)) << pointer;
    }
    json unknown = written;
    unknown["system"]["packages"] = nullptr;
    EXPECT_FALSE(parse_result_text(unknown.dump(), "null.json").record.system.topology.packages);
    json older = written;
    older["system"].erase("usable_logical_processors");
    EXPECT_FALSE(
        parse_result_text(older.dump(), "older.json").record.system.topology.usable_logical_processors);
    json lacking = written;
    lacking["system"].erase("host_name");
    EXPECT_THAT(error_of(lacking), HasSubstr("system.host_name is missing"));
}

TEST(ResultReader, StringsAreKeptAsData) {
    json document = version1();
    const std::string markup = "</script><!-- \"quoted\" \\ \x1b[31m\nline";
    document["system"]["processor"] = markup;
    document["notes"] = {markup};
    const Result result = parse_result_text(document.dump(), "markup.json");
    EXPECT_EQ(to_json(result)["system"]["processor"], markup);
    EXPECT_EQ(to_json(result)["notes"][0], markup);
}

TEST(ResultReader, UnreadableInputNamesTheFileAndTheCause) {
    EXPECT_EQ(error_of_text(""), "bad.json: the file is empty");
    const std::string text = version1().dump();
    for (const std::size_t kept : {std::size_t{1}, text.size() / 3, text.size() / 2, text.size() - 1}) {
        EXPECT_THAT(error_of_text(text.substr(0, kept)),
                    AllOf(HasSubstr("bad.json: "), HasSubstr("ends too early (a truncated file?)")))
            << kept;
    }
    EXPECT_THAT(error_of_text(R"({"tool": {"name": "quorlind-bench"}, "x": NaN})"),
                HasSubstr("not valid JSON"));
    EXPECT_THAT(error_of_text("[1, 2]"), HasSubstr("not a quorlind-bench result: the document is an array"));
    EXPECT_THAT(error_of_text(std::string(40, '[') + std::string(40, ']')),
                HasSubstr("nested deeper than 32"));

    const std::string missing = ::testing::TempDir() + "quorlind-no-such-result.json";
    try {
        read_result_file(missing);
        FAIL() << "a missing file was read";
    } catch (const InvalidResultFile& error) {
        EXPECT_THAT(error.what(), HasSubstr(missing + ": cannot open the file"));
    }
    try {
        read_result_file(::testing::TempDir());
        FAIL() << "a directory was read";
    } catch (const InvalidResultFile& error) {
        EXPECT_THAT(error.what(), HasSubstr("is a directory"));
    }
}

TEST(ResultReader, FilesBeyondTheCapAreRefusedUnparsed) {
    const std::string path = ::testing::TempDir() + "quorlind-large-result.json";
    const std::string text = version1().dump();
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_NO_THROW(read_result_file(path, text.size()));
    try {
        read_result_file(path, text.size() - 1);
        FAIL() << "a file over the cap was read";
    } catch (const InvalidResultFile& error) {
        EXPECT_THAT(error.what(),
                    HasSubstr(path + ": larger than " + std::to_string(text.size() - 1) + " bytes"));
    }
    std::remove(path.c_str());
}

TEST(ResultReader, OtherToolsAndOtherVersionsAreRefused) {
    EXPECT_EQ(error_of(json{{"name", "quorlind-bench"}}),
              "bad.json: not a quorlind-bench result: it has no tool.name");
    json other = version1();
    other["tool"]["name"] = "other-bench\x1b[2J";
    EXPECT_EQ(error_of(other), "bad.json: not a quorlind-bench result: tool.name is 'other-bench\\x1b[2J'");

    json future = current();
    future["schema_version"] = 4;
    EXPECT_THAT(error_of(future),
                HasSubstr("bad.json: schema_version 4 is not one this tool reads (1 to 3)"));
    future["schema_version"] = "2";
    EXPECT_THAT(error_of(future), HasSubstr("schema_version should be a whole number, not a string"));
    future["schema_version"] = 0;
    EXPECT_THAT(error_of(future), HasSubstr("schema_version 0 is not one"));

    // A version-2 file without its version reads as version 1, and fails as one.
    json unmarked = current();
    unmarked.erase("schema_version");
    EXPECT_THAT(error_of(unmarked), HasSubstr("bad.json: configuration.benchmark is missing"));
}

TEST(ResultReader, ThroughputsMustBeFiniteAndNotNegative) {
    json negative = version1();
    negative["summary"]["ops_per_second"] = -1.5;
    EXPECT_EQ(error_of(negative), "bad.json: summary.ops_per_second is negative (-1.5)");

    json huge = current();
    huge["runs"][1]["samples"][2]["ops_per_second"] = 1e18;
    EXPECT_NO_THROW(parse_result_text(huge.dump(), "huge.json"));
    huge["runs"][1]["samples"][2]["ops_per_second"] = 1e308;
    EXPECT_EQ(error_of(huge),
              "bad.json: runs[1].samples[2].ops_per_second is beyond any real processor (1e+308)")
        << "sums of such values overflow";
    std::string infinite = huge.dump();
    infinite.replace(infinite.find("1e+308"), 6, "1" + std::string(400, '0'));
    EXPECT_THAT(error_of_text(infinite),
                HasSubstr("bad.json: not valid JSON: number overflow parsing '1000"));
    huge["runs"][1]["samples"][2]["ops_per_second"] = std::numeric_limits<double>::infinity();
    EXPECT_THAT(error_of(huge), HasSubstr("should be a number, not null")) << "infinity is written as null";

    json zero = current();
    zero["runs"][0]["summary"]["ops_per_second"] = 0;
    EXPECT_EQ(error_of(zero), "bad.json: runs[0].summary.ops_per_second is 0 for a completed run");

    json text = current();
    text["runs"][0]["samples"][0]["ops_per_second"] = "fast";
    EXPECT_EQ(error_of(text), "bad.json: runs[0].samples[0].ops_per_second should be a number, not a string");

    json empty_interval = version1();
    empty_interval["samples"][0]["duration_seconds"] = 0;
    EXPECT_EQ(error_of(empty_interval), "bad.json: samples[0].duration_seconds should be above 0, not 0");
}

TEST(ResultReader, LayoutFaultsNameTheMember) {
    json no_runs = current();
    no_runs["runs"] = json::array();
    EXPECT_EQ(error_of(no_runs), "bad.json: runs is empty: the file holds no runs");

    struct Case {
        const char* pointer;
        json value;
        const char* message;
    };
    const Case cases[] = {
        {"/runs/0/status/code", 7, "runs[0].status.code should be one of 0, 1, 2, not 7"},
        {"/runs/0/status/name", "failed", "runs[0].status.name does not match code 0"},
        {"/runs/0/summary/status", 2, "runs[0].summary.status does not match runs[0].status.code"},
        {"/runs/1/threads", "all", "runs[1].threads does not match benchmark 1"},
        {"/runs/1/benchmark", 3, "runs[1].benchmark should be one of 1, 2, not 3"},
        {"/runs/0/summary/checksum", -4, "runs[0].summary.checksum is negative (-4)"},
        {"/runs/0/summary/workers", 1.5,
         "runs[0].summary.workers should be a whole number, not a number with"},
        {"/runs/0/summary/variation_percent", nullptr,
         "variation_percent is null although has_variation is 1"},
        {"/runs/0/partial", 0, "runs[0].partial should be true or false, not a number"},
        {"/runs/0/partial", true, "runs[0].partial does not match runs[0].status.code"},
        {"/runs/0/stability/instability", "wobbly", "should be none, noise or drift, not 'wobbly'"},
        {"/runs/0/samples", json::object(), "runs[0].samples should be an array, not an object"},
        {"/configuration/threads", "some", "configuration.threads should be single, all or both, not 'some'"},
        {"/configuration/repeat", 0, "configuration.repeat should be at least 1, not 0"},
        {"/configuration/measurement_seconds", 0,
         "configuration.measurement_seconds should be above 0, not 0"},
        {"/system/library_version", nullptr, "system.library_version should be a string, not null"},
        {"/statistics/both", json::object(),
         "statistics has a member 'both'; only single and all belong there"},
        {"/statistics/single/median", "high", "statistics.single.median should be a number, not a string"},
        {"/scaling", 2, "scaling should be null or an object, not a number"},
        {"/notes/0", 5, "notes should hold only strings, not a number"},
    };
    for (const auto& c : cases) {
        json document = current();
        document[json::json_pointer(c.pointer)] = c.value;
        EXPECT_THAT(error_of(document), HasSubstr(c.message)) << c.pointer;
    }
    json no_tool_version = current();
    no_tool_version["tool"].erase("version");
    EXPECT_EQ(error_of(no_tool_version), "bad.json: tool.version is missing");
}

TEST(ResultReader, Version1LayoutFaultsUseItsOwnNames) {
    json mismatch = version1();
    mismatch["configuration"]["threads"] = "all";
    EXPECT_THAT(error_of(mismatch),
                HasSubstr("configuration.threads does not match configuration.benchmark"));
    json not_object = version1();
    not_object["summary"] = json::array();
    EXPECT_EQ(error_of(not_object), "bad.json: summary should be an object, not an array");
    json no_samples = version1();
    no_samples.erase("samples");
    EXPECT_EQ(error_of(no_samples), "bad.json: samples is missing");
    json low_interval = current();
    low_interval["statistics"]["single"]["ci95_low"] = -120.5;
    EXPECT_EQ(error_of(low_interval), "accepted") << "two far-apart runs give an interval below zero";

    json unknown_member = version1();
    unknown_member["later_addition"] = {{"any", "thing"}};
    EXPECT_EQ(error_of(unknown_member), "accepted");
}

}  // namespace
}  // namespace quorlind::bench
