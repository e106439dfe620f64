#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "stats/comparison_statistics.h"
#include "compare/environment_diff.h"
#include "result/result.h"

namespace quorlind::bench {

struct ComparisonSettings {
    double threshold_percent = 2.0;
    double confidence = 0.95;
    // The slowdown the repeats hint sizes the runs for; empty: detect_or_default().
    std::optional<double> detect_percent;
    // The user says both files come from one machine, whatever their records say.
    bool same_machine = false;

    // Twice the threshold (at most halfway from it to 100 %), or 2 % without one.
    double detect_or_default() const;
};

// From this many completed runs in both files, each file's own spread
// between runs is used (Welch).
inline constexpr std::size_t min_runs_for_run_to_run = 2;

// The power the repeats hint aims for.
inline constexpr double hint_power = 0.8;

enum class UncertaintySource {
    between_runs,  // Welch's test on the runs' throughputs
    pooled_runs,   // one run against several on the same machine: the others' spread stands for it
    within_runs,   // one run per file: the interval rates, shown for information only
};

inline constexpr const char* one_run_reason =
    "one run per file cannot tell a change from run-to-run variation; run both with --repeat 3 or more";
inline constexpr const char* other_machine_reason =
    "a single run's spread is unknown, and the files are not known to come from the same machine (host, "
    "processor, topology and library), so the other file's spread cannot stand for it; run it with --repeat "
    "3 or more, or pass --same-machine if it is one machine";
inline constexpr const char* not_excluded_reason =
    "the interval reaches below the threshold: a slowdown beyond it is neither shown (at the level all "
    "tests together hold) nor excluded";

// Same host, processor, logical processors, topology (packages and cores
// known in both, NUMA nodes and SMT alike) and library version: what lets
// one run borrow the other file's spread.
bool same_machine(const SystemRecord& base, const SystemRecord& candidate);

// One kind of run (single or all) that completed in both files.
struct KindComparison {
    std::uint32_t benchmark = 0;
    ThroughputEstimate base;
    ThroughputEstimate candidate;
    UncertaintySource source = UncertaintySource::within_runs;
    RatioEstimate ratio;
    std::optional<ThresholdTest> test;    // empty when the data cannot decide
    std::optional<double> adjusted_p;     // Holm-adjusted test.decisive() over every test made
    std::optional<Verdict> verdict;       // empty when the pair is not comparable
    std::string inconclusive_reason;      // set when the verdict is inconclusive
    std::optional<RunSpread> run_spread;  // from the runs of both files where any has two
    bool same_machine_asserted = false;   // pooled_runs only: by --same-machine rather than the records
    // The repeats hint, shown whenever the kind is inconclusive: runs per file
    // for a slowdown of settings.detect_or_default() to come out slower.
    bool hint = false;
    std::optional<std::size_t> runs_needed;
};

struct PairComparison {
    std::size_t candidate_file = 0;           // index into Comparison::files; the base is file 0
    std::vector<std::string> not_comparable;  // why not; empty when the pair is comparable
    EnvironmentDiff environment;
    std::vector<KindComparison> kinds;
    std::vector<std::string> notes;  // runs left out, kinds only one file has

    bool comparable() const { return not_comparable.empty(); }
    bool slower() const;
};

struct ComparedFile {
    std::string path;
    int schema_version_read = 0;
    std::optional<std::string> start_time_utc;
    std::vector<std::size_t> disturbed_runs;  // their index members
};

// Everything a comparison found; the text and JSON writers read only this.
struct Comparison {
    ComparisonSettings settings;
    std::vector<ComparedFile> files;
    std::vector<PairComparison> pairs;  // each file after the first against the first
    std::size_t tests = 0;              // (file, kind) tests that the Holm adjustment spans
};

// What the comparison as a whole found, worst first: a slowdown in any
// comparable pair, else any pair not comparable, else a kind that could not
// be decided, else no slowdown.
enum class ComparisonOutcome { slower, not_comparable, inconclusive, no_slowdown };

ComparisonOutcome outcome_of(const Comparison& comparison);
const char* outcome_text(ComparisonOutcome outcome);

PairComparison compare_pair(const Result& base, const Result& candidate, const ComparisonSettings& settings);

// The verdicts of every kind of the comparable pairs, with Holm-Bonferroni
// over all the tests together; returns how many tests that was.
std::size_t judge_all(std::span<PairComparison> pairs, const ComparisonSettings& settings);

// files[0] is the base; needs at least two files.
Comparison compare_results(const std::vector<Result>& files, const ComparisonSettings& settings);

}  // namespace quorlind::bench
