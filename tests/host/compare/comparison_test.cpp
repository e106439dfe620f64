#include "compare/comparison.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "result_files.h"

namespace quorlind::bench {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using json = nlohmann::json;
using testing::fixture;
using testing::result_of;

const ComparisonSettings defaults;

json base() { return fixture("result-v2-base.json"); }

// Keeps the runs for which keep(run) holds, renumbered.
template <typename Keep>
json with_runs(json document, Keep keep) {
    json kept = json::array();
    for (const auto& run : document["runs"]) {
        if (keep(run)) {
            kept.push_back(run);
            kept.back()["index"] = kept.size() - 1;
        }
    }
    document["runs"] = kept;
    return document;
}

std::vector<std::string> fields(const EnvironmentDiff& diff) {
    std::vector<std::string> names;
    for (const auto& difference : diff.differences) {
        names.push_back(difference.field);
    }
    return names;
}

TEST(Comparison, SlowerSingleThreadFromTheSpreadBetweenRuns) {
    const auto pair = compare_pair(result_of(base()), result_of(fixture("result-v2-slower.json")), defaults);
    ASSERT_TRUE(pair.comparable());
    ASSERT_EQ(pair.kinds.size(), 2u);
    const KindComparison& single = pair.kinds[0];
    EXPECT_EQ(single.benchmark, QUORLIND_BENCHMARK_SINGLE);
    EXPECT_EQ(single.source, UncertaintySource::between_runs);
    EXPECT_EQ(single.base.runs, 3u);
    EXPECT_EQ(single.candidate.runs, 3u);
    EXPECT_NEAR(single.ratio.ratio, 0.9, 1e-3);
    EXPECT_EQ(single.verdict, Verdict::slower);
    EXPECT_EQ(pair.kinds[1].benchmark, QUORLIND_BENCHMARK_PER_CPU);
    EXPECT_EQ(pair.kinds[1].verdict, Verdict::no_significant_difference);
    EXPECT_TRUE(pair.slower());
    // The start times differ too, but always do.
    EXPECT_THAT(fields(pair.environment), ElementsAre("system.boost", "system.governor", "system.host_name"));
    EXPECT_EQ(pair.environment.differences[1].base, "performance");
    EXPECT_EQ(pair.environment.differences[1].candidate, "powersave");
    EXPECT_TRUE(pair.notes.empty());
}

TEST(Comparison, SameFileShowsNoDifference) {
    const auto pair = compare_pair(result_of(base()), result_of(base()), defaults);
    ASSERT_EQ(pair.kinds.size(), 2u);
    for (const auto& kind : pair.kinds) {
        EXPECT_EQ(kind.ratio.ratio, 1.0);
        EXPECT_EQ(kind.verdict, Verdict::no_significant_difference);
    }
    EXPECT_TRUE(pair.environment.differences.empty());
    EXPECT_EQ(pair.environment.known_in_one_only, 0u);
}

TEST(Comparison, DifferentWorkIsNotComparableBeforeAnyVerdict) {
    struct Case {
        const char* pointer;
        json value;
        const char* reason;
    };
    const Case cases[] = {
        {"/system/library_version", "0.0.3", "the library version differs (0.0.2 and 0.0.3)"},
        {"/system/abi_version", 2, "the library's C interface version differs (1 and 2)"},
        {"/configuration/warmup_seconds", 120.0, "the warm-up differs (0.5 s and 120 s)"},
        {"/configuration/measurement_seconds", 60.0, "the measured time differs (3 s and 60 s)"},
    };
    for (const auto& c : cases) {
        json changed = fixture("result-v2-slower.json");
        changed[json::json_pointer(c.pointer)] = c.value;
        const auto pair = compare_pair(result_of(base()), result_of(changed), defaults);
        EXPECT_FALSE(pair.comparable()) << c.pointer;
        EXPECT_THAT(pair.not_comparable, ElementsAre(HasSubstr(c.reason))) << c.pointer;
        // The numbers stay visible; only the verdict is withheld.
        ASSERT_EQ(pair.kinds.size(), 2u);
        EXPECT_FALSE(pair.kinds[0].verdict);
        EXPECT_FALSE(pair.slower()) << "no slowdown is claimed for different work";
    }
}

TEST(Comparison, NoKindInCommonIsNotComparable) {
    const json all_only = with_runs(base(), [](const json& run) { return run["benchmark"] == 2; });
    // The version-1 fixture ran the same lengths, single-thread only.
    const auto pair = compare_pair(result_of(fixture("result-v1.json")), result_of(all_only), defaults);
    EXPECT_TRUE(pair.kinds.empty());
    EXPECT_THAT(pair.not_comparable, ElementsAre(HasSubstr("no kind of run")));
    EXPECT_THAT(pair.notes, ElementsAre("only BASE has completed single-thread runs; they are not compared",
                                        "only NEW has completed all-threads runs; they are not compared"));
}

TEST(Comparison, FewerThanThreeRunsUseTheIntervalsAndSayWhy) {
    const json two_single = with_runs(base(), [](const json& run) { return run["index"] != 4; });
    const auto pair =
        compare_pair(result_of(two_single), result_of(fixture("result-v2-slower.json")), defaults);
    ASSERT_EQ(pair.kinds.size(), 2u);
    EXPECT_EQ(pair.kinds[0].source, UncertaintySource::within_runs);
    EXPECT_EQ(pair.kinds[0].base.runs, 2u);
    EXPECT_EQ(pair.kinds[0].base.intervals, 6u);
    EXPECT_EQ(pair.kinds[0].candidate.intervals, 9u);
    EXPECT_EQ(pair.kinds[0].verdict, Verdict::slower);
    EXPECT_EQ(pair.kinds[1].source, UncertaintySource::between_runs) << "all-threads still has 3 runs each";
}

TEST(Comparison, RunsThatDidNotCompleteAreLeftOutWithANote) {
    json some_failed = base();
    for (const int index : {0, 2}) {
        auto& run = some_failed["runs"][index];
        run["status"] = {{"code", 2}, {"name", "failed"}, {"reason", "cannot start worker"}};
        run["summary"]["status"] = 2;
    }
    auto& cancelled = some_failed["runs"][1];
    cancelled["status"] = {{"code", 1}, {"name", "cancelled"}, {"reason", "cancelled"}};
    cancelled["summary"]["status"] = 1;
    cancelled["partial"] = true;
    const auto pair = compare_pair(result_of(some_failed), result_of(base()), defaults);
    EXPECT_THAT(pair.notes, ElementsAre("BASE: 2 of 3 single-thread runs did not complete and are left out",
                                        "BASE: 1 of 3 all-threads runs did not complete and is left out"));
    ASSERT_EQ(pair.kinds.size(), 2u);
    EXPECT_EQ(pair.kinds[0].base.runs, 1u);
    EXPECT_EQ(pair.kinds[0].source, UncertaintySource::within_runs);
}

TEST(Comparison, OneIntervalGivesNoIntervalAndNoVerdictEitherWay) {
    json short_runs = fixture("result-v1.json");
    short_runs["samples"] = json::array({short_runs["samples"][0]});
    json halved = short_runs;
    halved["summary"]["ops_per_second"] = 4000.0;
    halved["samples"][0]["operations"] = 4000;
    const auto pair = compare_pair(result_of(short_runs), result_of(halved), defaults);
    ASSERT_EQ(pair.kinds.size(), 1u);
    EXPECT_LT(pair.kinds[0].ratio.ratio, 0.5);
    EXPECT_FALSE(pair.kinds[0].ratio.interval);
    EXPECT_EQ(pair.kinds[0].verdict, Verdict::no_significant_difference);
}

TEST(Comparison, SettingsMoveTheVerdict) {
    ComparisonSettings loose;
    loose.threshold_percent = 15.0;
    const auto slower = result_of(fixture("result-v2-slower.json"));
    EXPECT_EQ(compare_pair(result_of(base()), slower, loose).kinds[0].verdict,
              Verdict::no_significant_difference);
    ComparisonSettings strict;
    strict.confidence = 0.999999;
    const auto wide = compare_pair(result_of(base()), slower, strict).kinds[0];
    const auto usual = compare_pair(result_of(base()), slower, defaults).kinds[0];
    EXPECT_LT(wide.ratio.interval->low, usual.ratio.interval->low);
}

TEST(Comparison, SeveralFilesAgainstTheFirstAndTheWorstOutcome) {
    const auto first = result_of(base(), "base.json");
    const auto slower = result_of(fixture("result-v2-slower.json"), "slower.json");
    const auto other = result_of(fixture("result-v2-other-library.json"), "other.json");

    const Comparison all = compare_results({first, other, slower}, defaults);
    ASSERT_EQ(all.files.size(), 3u);
    EXPECT_EQ(all.files[2].path, "slower.json");
    EXPECT_EQ(all.files[0].start_time_utc, "2026-01-05T10:00:00Z");
    ASSERT_EQ(all.pairs.size(), 2u);
    EXPECT_EQ(all.pairs[0].candidate_file, 1u);
    EXPECT_FALSE(all.pairs[0].comparable());
    EXPECT_EQ(all.pairs[1].candidate_file, 2u);
    EXPECT_EQ(outcome_of(all), ComparisonOutcome::slower);
    EXPECT_EQ(outcome_of(compare_results({first, other}, defaults)), ComparisonOutcome::not_comparable);
    EXPECT_EQ(outcome_of(compare_results({first, first}, defaults)), ComparisonOutcome::no_slowdown);
    EXPECT_EQ(outcome_of(compare_results({slower, first}, defaults)), ComparisonOutcome::no_slowdown)
        << "faster is no slowdown";
    EXPECT_STREQ(outcome_text(ComparisonOutcome::not_comparable), "not comparable");
}

TEST(EnvironmentDiff, WalksNestedFieldsAndCountsTheUnknown) {
    json a = base();
    json b = base();
    b["system"]["caches"]["l2"]["size_bytes"] = 1048576;
    b["system"]["load_average"]["before"] = json::array({0.5, 0.4, 0.3});  // null in a
    a["system"]["os_build"] = nullptr;
    b["system"]["numa_nodes"] = nullptr;
    b["system"]["added_later"] = "x";  // a member a newer tool writes
    b["system"]["start_time_utc"] = "2030-01-01T00:00:00Z";
    b["system"]["monotonic_start_seconds"] = 1.0;
    b["tool"]["build_type"] = "Debug";
    b["system"]["hypervisor"] = {{"present", true}, {"vendor", "KVMKVMKVM"}};
    const auto diff = diff_environment(a, b);
    EXPECT_THAT(fields(diff),
                ElementsAre("tool.build_type", "system.caches.l2.size_bytes", "system.hypervisor.present"));
    EXPECT_EQ(diff.differences[1].base, 524288);
    EXPECT_EQ(diff.differences[1].candidate, 1048576);
    // load_average.before, os_build, numa_nodes, added_later, hypervisor.vendor
    EXPECT_EQ(diff.known_in_one_only, 5u);

    json arrays = a;
    arrays["system"]["load_average"]["before"] = json::array({0.5, 0.4, 0.3});
    b = arrays;
    b["system"]["load_average"]["before"][2] = 0.9;
    EXPECT_THAT(fields(diff_environment(arrays, b)), ElementsAre("system.load_average.before"));
}

}  // namespace
}  // namespace quorlind::bench
