#include "compare/comparison.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "result_files.h"
#include "result_fixtures.h"

namespace quorlind::bench {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using json = nlohmann::json;
using testing::fixture;
using testing::result_of;

const ComparisonSettings defaults;

// Wide enough that the fixtures' unchanged kinds pass.
ComparisonSettings loose(double threshold_percent) {
    ComparisonSettings settings;
    settings.threshold_percent = threshold_percent;
    return settings;
}

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
    EXPECT_FALSE(single.hint) << "a decided kind needs no more runs";
    // Unchanged, but the interval (0.978 - 1.022) reaches below 0.98: not a pass.
    const KindComparison& all = pair.kinds[1];
    EXPECT_EQ(all.benchmark, QUORLIND_BENCHMARK_PER_CPU);
    EXPECT_EQ(all.verdict, Verdict::inconclusive);
    EXPECT_EQ(all.inconclusive_reason, not_excluded_reason);
    EXPECT_TRUE(all.hint);
    EXPECT_TRUE(all.runs_needed);
    EXPECT_TRUE(pair.slower());
    // The start times differ too, but always do.
    EXPECT_THAT(fields(pair.environment), ElementsAre("system.host_name", "system.governor", "system.boost"));
    EXPECT_EQ(pair.environment.differences[1].base, "performance");
    EXPECT_EQ(pair.environment.differences[1].candidate, "powersave");
    EXPECT_TRUE(pair.notes.empty());
}

TEST(Comparison, SameFileShowsNoDifference) {
    const auto pair = compare_pair(result_of(base()), result_of(base()), loose(5.0));
    ASSERT_EQ(pair.kinds.size(), 2u);
    for (const auto& kind : pair.kinds) {
        EXPECT_EQ(kind.ratio.ratio, 1.0);
        EXPECT_EQ(kind.verdict, Verdict::same_or_faster);
        EXPECT_FALSE(kind.hint);
    }
    EXPECT_TRUE(pair.environment.differences.empty());
    EXPECT_TRUE(pair.environment.known_in_one_only.empty());
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

TEST(Comparison, TwoRunsEachAreEnoughForWelch) {
    const json two_single = with_runs(base(), [](const json& run) { return run["index"] != 4; });
    const auto pair =
        compare_pair(result_of(two_single), result_of(fixture("result-v2-slower.json")), defaults);
    ASSERT_EQ(pair.kinds.size(), 2u);
    EXPECT_EQ(pair.kinds[0].source, UncertaintySource::between_runs);
    EXPECT_EQ(pair.kinds[0].base.runs, 2u);
    EXPECT_EQ(*pair.kinds[0].ratio.degrees_of_freedom, 1.0) << "the smaller side's, not the pooled 3";
    EXPECT_EQ(pair.kinds[0].verdict, Verdict::inconclusive) << "one degree of freedom: 10 % is not enough";
}

// One run's spread is unknown: only the same machine lets the other file's stand for it.
TEST(Comparison, OneRunDecidesOnlyOnTheSameMachine) {
    const json one_single =
        with_runs(base(), [](const json& run) { return run["index"] != 2 && run["index"] != 4; });
    const auto slower = result_of(fixture("result-v2-slower.json"));
    const auto elsewhere = compare_pair(result_of(one_single), slower, defaults).kinds[0];
    EXPECT_EQ(elsewhere.source, UncertaintySource::within_runs) << "bench-a against bench-b";
    EXPECT_EQ(elsewhere.verdict, Verdict::inconclusive);
    EXPECT_EQ(elsewhere.inconclusive_reason, other_machine_reason);
    EXPECT_TRUE(elsewhere.hint);
    EXPECT_TRUE(elsewhere.run_spread) << "NEW's runs tell the spread the hint needs";

    ComparisonSettings asserted;
    asserted.same_machine = true;
    const auto said = compare_pair(result_of(one_single), slower, asserted).kinds[0];
    EXPECT_EQ(said.source, UncertaintySource::pooled_runs);
    EXPECT_TRUE(said.same_machine_asserted);
    EXPECT_EQ(*said.ratio.degrees_of_freedom, 2.0);
    EXPECT_TRUE(said.test);

    const SystemRecord machine = testing::test_system();
    EXPECT_TRUE(same_machine(machine, machine));
    for (const auto& change : std::vector<void (*)(SystemRecord&)>{
             [](SystemRecord& s) { s.host_name = "bench-8"; },
             [](SystemRecord& s) { s.host_name.reset(); },
             [](SystemRecord& s) { s.processor = "Test CPU 9001"; },
             [](SystemRecord& s) { s.library_version = "0.0.3"; },
             [](SystemRecord& s) { s.logical_processors = 4; },
             [](SystemRecord& s) { s.topology.physical_cores = 8; },
             [](SystemRecord& s) { s.topology.packages.reset(); },
             [](SystemRecord& s) { s.topology.smt = false; },
         }) {
        SystemRecord other = machine;
        change(other);
        EXPECT_FALSE(same_machine(machine, other));
        EXPECT_FALSE(same_machine(other, machine));
    }
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
    EXPECT_EQ(pair.kinds[0].source, UncertaintySource::pooled_runs)
        << "one machine: NEW's runs lend their spread";
}

TEST(Comparison, OneIntervalGivesNoIntervalAndCannotDecide) {
    json short_runs = fixture("result-v1.json");
    short_runs["samples"] = json::array({short_runs["samples"][0]});
    json halved = short_runs;
    halved["summary"]["ops_per_second"] = 4000.0;
    halved["samples"][0]["operations"] = 4000;
    const auto pair = compare_pair(result_of(short_runs), result_of(halved), defaults);
    ASSERT_EQ(pair.kinds.size(), 1u);
    EXPECT_LT(pair.kinds[0].ratio.ratio, 0.5);
    EXPECT_FALSE(pair.kinds[0].ratio.interval);
    EXPECT_EQ(pair.kinds[0].verdict, Verdict::inconclusive);
}

// One run per file: a clear drop within the runs is still no verdict, since
// a second run could differ by as much; the ratio and its within-run interval
// stay for information, with the reason and no known spread for the hint.
TEST(Comparison, OneRunPerFileIsInconclusiveWhateverTheIntervalsSay) {
    const json one = fixture("result-v1.json");
    json lower = one;
    lower["summary"]["ops_per_second"] = lower["summary"]["ops_per_second"].get<double>() * 0.8;
    for (auto& sample : lower["samples"]) {
        sample["operations"] = sample["operations"].get<std::uint64_t>() * 8 / 10;
    }
    const Comparison comparison = compare_results({result_of(one), result_of(lower)}, defaults);
    const auto& kind = comparison.pairs[0].kinds.at(0);
    EXPECT_EQ(kind.source, UncertaintySource::within_runs);
    EXPECT_NEAR(kind.ratio.ratio, 0.8, 1e-3);
    ASSERT_TRUE(kind.ratio.interval);
    EXPECT_LT(kind.ratio.interval->high, 0.9) << "the intervals alone would have said slower";
    EXPECT_EQ(kind.verdict, Verdict::inconclusive);
    EXPECT_THAT(kind.inconclusive_reason, HasSubstr("one run per file cannot tell a change"));
    EXPECT_FALSE(kind.test);
    EXPECT_TRUE(kind.hint);
    EXPECT_FALSE(kind.run_spread);
    EXPECT_EQ(comparison.tests, 0u);
    EXPECT_EQ(outcome_of(comparison), ComparisonOutcome::inconclusive);
    // A slowdown elsewhere still outranks it, and so does a pair not comparable.
    const auto first = result_of(base(), "base.json");
    const auto slower = result_of(fixture("result-v2-slower.json"), "slower.json");
    const auto other = result_of(fixture("result-v2-other-library.json"), "other.json");
    const auto single = result_of(with_runs(base(), [](const json& run) { return run["index"] == 0; }));
    const auto single_new = result_of(with_runs(base(), [](const json& run) { return run["index"] == 2; }));
    EXPECT_EQ(outcome_of(compare_results({single, single_new}, defaults)), ComparisonOutcome::inconclusive);
    EXPECT_EQ(outcome_of(compare_results({first, other, slower}, defaults)), ComparisonOutcome::slower);
    EXPECT_EQ(outcome_of(compare_results({single, single_new, other}, defaults)),
              ComparisonOutcome::not_comparable);
}

// Both kinds of two NEW files are one family: a p that decides alone may not
// decide among four, and the adjusted p's are Holm's of the raw ones.
TEST(Comparison, SeveralTestsAreAdjustedTogether) {
    const auto first = result_of(base(), "base.json");
    json slight = fixture("result-v2-slower.json");
    for (auto& run : slight["runs"]) {
        if (run["summary"]["benchmark"] == QUORLIND_BENCHMARK_SINGLE) {
            auto& rate = run["summary"]["ops_per_second"];
            rate = rate.get<double>() / 0.9 * 0.965;
        }
    }
    ComparisonSettings settings;
    settings.threshold_percent = 0.0;
    const Comparison alone = compare_results({first, result_of(slight)}, settings);
    ASSERT_EQ(alone.tests, 2u);
    const Comparison many = compare_results({first, result_of(slight), first, first}, settings);
    EXPECT_EQ(many.tests, 6u);
    const auto& kind = many.pairs[0].kinds[0];
    const auto& kind_alone = alone.pairs[0].kinds[0];
    EXPECT_EQ(kind.test->p_slower, kind_alone.test->p_slower);
    EXPECT_GT(*kind.adjusted_p, *kind_alone.adjusted_p);
    EXPECT_LE(*kind.adjusted_p, 6.0 * kind.test->p_slower);
    std::vector<double> raw;
    for (const auto& pair : many.pairs) {
        for (const auto& each : pair.kinds) {
            raw.push_back(each.test->decisive());
        }
    }
    EXPECT_EQ(*kind.adjusted_p, holm_adjusted(raw)[0]);
}

TEST(Comparison, SettingsMoveTheVerdict) {
    const auto slower = result_of(fixture("result-v2-slower.json"));
    EXPECT_EQ(compare_pair(result_of(base()), slower, loose(15.0)).kinds[0].verdict, Verdict::same_or_faster);
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
    EXPECT_EQ(outcome_of(compare_results({first, first}, defaults)), ComparisonOutcome::inconclusive)
        << "the same file, but three runs cannot exclude 2 %";
    EXPECT_EQ(outcome_of(compare_results({first, first}, loose(5.0))), ComparisonOutcome::no_slowdown);
    EXPECT_EQ(outcome_of(compare_results({slower, first}, loose(5.0))), ComparisonOutcome::no_slowdown)
        << "faster is no slowdown";
    EXPECT_STREQ(outcome_text(ComparisonOutcome::not_comparable), "not comparable");
}

TEST(EnvironmentDiff, WalksNestedFieldsAndNamesTheUnknown) {
    json a = base();
    json b = base();
    b["system"]["caches"]["l2"]["size_bytes"] = 1048576;
    b["system"]["load_average"]["before"] = json::array({0.5, 0.4, 0.3});  // null in a
    a["system"]["os_build"] = nullptr;
    b["system"]["numa_nodes"] = nullptr;
    b["system"]["added_later"] = "x";  // a member a newer tool writes: not in the model
    b["system"]["start_time_utc"] = "2030-01-01T00:00:00Z";
    b["system"]["monotonic_start_seconds"] = 1.0;
    b["tool"]["build_type"] = "Debug";
    b["system"]["hypervisor"] = {{"present", true}, {"vendor", "KVMKVMKVM"}};
    const auto diff = diff_environment(result_of(a), result_of(b));
    EXPECT_THAT(fields(diff),
                ElementsAre("tool.build_type", "system.caches.l2.size_bytes", "system.hypervisor.present"));
    EXPECT_EQ(diff.differences[1].base, 524288);
    EXPECT_EQ(diff.differences[1].candidate, 1048576);
    EXPECT_THAT(diff.known_in_one_only, ElementsAre("NUMA nodes", "Hypervisor vendor", "OS build",
                                                    "Load average before (1, 5, 15 min)"));

    json arrays = a;
    arrays["system"]["load_average"]["before"] = json::array({0.5, 0.4, 0.3});
    b = arrays;
    b["system"]["load_average"]["before"][2] = 0.9;
    EXPECT_THAT(fields(diff_environment(result_of(arrays), result_of(b))),
                ElementsAre("system.load_average.before"));
}

// Values read as the run report writes them; measured ones that are close
// are similar, while settings that differ at all stay differences.
TEST(EnvironmentDiff, WordsValuesAsTheReportAndCallsCloseMeasurementsSimilar) {
    json a = base();
    json b = base();
    a["system"]["effective_clock_mhz"] = {{"before", 3398.1043613946936}, {"after", 3400.0}};
    b["system"]["effective_clock_mhz"] = {{"before", 3461.360841757789}, {"after", 3600.0}};
    a["system"]["load_average"] = {{"before", {0.5, 0.4, 0.3}}, {"after", nullptr}};
    b["system"]["load_average"] = {{"before", {3.25, 2.0, 1.0}}, {"after", nullptr}};
    a["system"]["governor"] = "performance";
    b["system"]["governor"] = "performance, powersave";
    b["system"]["max_frequency_mhz"] = a["system"]["max_frequency_mhz"].get<double>() + 1.0;
    const auto diff = diff_environment(result_of(a), result_of(b));
    std::vector<std::string> shown;
    for (const auto& difference : diff.differences) {
        shown.push_back(difference.label + ": " + difference.base_text + " -> " + difference.candidate_text +
                        (difference.similar ? " similar" : ""));
    }
    EXPECT_THAT(shown,
                ElementsAre(::testing::StartsWith("Maximum frequency: "),
                            "Effective clock before: 3,398 MHz -> 3,461 MHz similar",
                            "Effective clock after: 3,400 MHz -> 3,600 MHz",
                            "Frequency governor: performance -> performance, powersave",
                            "Load average before (1, 5, 15 min): 0.50 0.40 0.30 -> 3.25 2.00 1.00 similar"));
    EXPECT_FALSE(diff.differences[0].similar) << "a setting differs however little";
    // The exact values stay for the comparison's JSON.
    EXPECT_EQ(diff.differences[1].base, 3398.1043613946936);
}

}  // namespace
}  // namespace quorlind::bench
