#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/comparison_statistics.h"
#include "compare/environment_diff.h"
#include "result/result.h"

namespace quorlind::bench {

struct ComparisonSettings {
    double threshold_percent = 2.0;
    double confidence = 0.95;
};

// Below this many completed runs in either file, the spread between runs
// says too little, and the intervals within the runs stand in for it.
inline constexpr std::size_t min_runs_for_run_to_run = 3;

enum class UncertaintySource {
    between_runs,  // Welch's test on the runs' throughputs
    within_runs,   // the time-weighted interval rates; run-to-run variation not covered
};

// One kind of run (single or all) that completed in both files.
struct KindComparison {
    std::uint32_t benchmark = 0;
    ThroughputEstimate base;
    ThroughputEstimate candidate;
    UncertaintySource source = UncertaintySource::within_runs;
    RatioEstimate ratio;
    std::optional<Verdict> verdict;  // empty when the pair is not comparable
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
};

// Everything a comparison found; the text and JSON writers read only this.
struct Comparison {
    ComparisonSettings settings;
    std::vector<ComparedFile> files;
    std::vector<PairComparison> pairs;  // each file after the first against the first
};

// What the comparison as a whole found, worst first: a slowdown in any
// comparable pair, else any pair not comparable, else no slowdown.
enum class ComparisonOutcome { slower, not_comparable, no_slowdown };

ComparisonOutcome outcome_of(const Comparison& comparison);
const char* outcome_text(ComparisonOutcome outcome);

PairComparison compare_pair(const Result& base, const Result& candidate, const ComparisonSettings& settings);

// files[0] is the base; needs at least two files.
Comparison compare_results(const std::vector<Result>& files, const ComparisonSettings& settings);

}  // namespace quorlind::bench
