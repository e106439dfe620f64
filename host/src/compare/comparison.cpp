#include "compare/comparison.h"
#include "compare/load_difference.h"

#include <algorithm>

#include "result/kind_runs.h"
#include "result/names.h"
#include "util/number_format.h"

namespace quorlind::bench {
namespace {

// What one file's completed runs of a kind give a comparison.
struct KindMeasurements {
    std::size_t started = 0;
    std::vector<double> throughputs;
    std::vector<QuorlindIntervalSample> samples;
    double variance_floor = 0.0;  // run_variance_floor of the completed runs
};

KindMeasurements completed_runs(const Result& file, std::uint32_t benchmark) {
    const KindRuns runs = runs_of_kind(file.record.runs, benchmark);
    KindMeasurements measured;
    measured.started = runs.started.size();
    std::vector<std::span<const QuorlindIntervalSample>> per_run;
    for (const RunRecord* run : runs.completed) {
        measured.throughputs.push_back(run->summary.ops_per_second);
        measured.samples.insert(measured.samples.end(), run->samples.begin(), run->samples.end());
        per_run.emplace_back(run->samples);
    }
    measured.variance_floor = run_variance_floor(per_run);
    return measured;
}

// What makes the two files measure different work: then no verdict is fair.
std::vector<std::string> workload_differences(const Result& base_result, const Result& candidate_result) {
    const ResultRecord& base = base_result.record;
    const ResultRecord& candidate = candidate_result.record;
    std::vector<std::string> reasons;
    if (base.system.library_version != candidate.system.library_version) {
        reasons.push_back("the library version differs (" + base.system.library_version + " and " +
                          candidate.system.library_version + "): the measured work may differ");
    }
    if (base.system.abi_version != candidate.system.abi_version) {
        reasons.push_back("the library's C interface version differs (" +
                          std::to_string(base.system.abi_version) + " and " +
                          std::to_string(candidate.system.abi_version) + ")");
    }
    if (base.warmup_seconds != candidate.warmup_seconds) {
        reasons.push_back("the warm-up differs (" + format_seconds_exact(base.warmup_seconds) + " and " +
                          format_seconds_exact(candidate.warmup_seconds) +
                          "): a cold processor runs differently");
    }
    if (base.measurement_seconds != candidate.measurement_seconds) {
        reasons.push_back("the measured time differs (" + format_seconds_exact(base.measurement_seconds) +
                          " and " + format_seconds_exact(candidate.measurement_seconds) + ")");
    }
    return reasons;
}

void note_left_out(const char* which, std::uint32_t benchmark, const KindMeasurements& runs,
                   std::vector<std::string>& notes) {
    const std::size_t left_out = runs.started - runs.throughputs.size();
    if (left_out > 0) {
        notes.push_back(std::string(which) + ": " + std::to_string(left_out) + " of " +
                        std::to_string(runs.started) + " " + kind_label(benchmark) +
                        (runs.started == 1 ? " run" : " runs") + " did not complete and " +
                        (left_out == 1 ? "is" : "are") + " left out");
    }
}

KindComparison compare_kind(std::uint32_t benchmark, const KindMeasurements& base,
                            const KindMeasurements& candidate, bool one_machine,
                            const ComparisonSettings& settings) {
    KindComparison kind;
    kind.benchmark = benchmark;
    kind.run_spread = pooled_run_spread(base.throughputs, candidate.throughputs);
    const std::size_t fewer = std::min(base.throughputs.size(), candidate.throughputs.size());
    const bool one_run_side = fewer == 1 && kind.run_spread;
    if (fewer >= min_runs_for_run_to_run) {
        kind.source = UncertaintySource::between_runs;
        kind.base = *estimate_from_runs(base.throughputs, base.variance_floor);
        kind.candidate = *estimate_from_runs(candidate.throughputs, candidate.variance_floor);
        kind.ratio = compare_throughputs(kind.base, kind.candidate, settings.confidence);
    } else if (one_run_side && (one_machine || settings.same_machine)) {
        kind.source = UncertaintySource::pooled_runs;
        kind.same_machine_asserted = !one_machine;
        kind.base = *estimate_from_runs(base.throughputs, base.variance_floor);
        kind.candidate = *estimate_from_runs(candidate.throughputs, candidate.variance_floor);
        kind.ratio = *compare_runs_pooled(base.throughputs, candidate.throughputs, settings.confidence,
                                          std::max(base.variance_floor, candidate.variance_floor));
    } else {
        // The intervals within the runs are shown, but say nothing of a second
        // run. A completed run may lack samples only in a hand-made file; its
        // throughput then stands alone, without an error.
        kind.source = UncertaintySource::within_runs;
        kind.base = estimate_from_intervals(base.samples).value_or(*estimate_from_runs(base.throughputs));
        kind.candidate =
            estimate_from_intervals(candidate.samples).value_or(*estimate_from_runs(candidate.throughputs));
        kind.ratio = compare_throughputs(kind.base, kind.candidate, settings.confidence);
        kind.inconclusive_reason = one_run_side ? other_machine_reason : one_run_reason;
    }
    kind.base.runs = base.throughputs.size();
    kind.candidate.runs = candidate.throughputs.size();
    if (kind.source != UncertaintySource::within_runs) {
        kind.test = threshold_test(kind.ratio, settings.threshold_percent);
    }
    return kind;
}

}  // namespace

double ComparisonSettings::detect_or_default() const {
    if (detect_percent) {
        return *detect_percent;
    }
    // Halfway to 100 % at most, where twice a large threshold would reach it.
    return threshold_percent > 0.0 ? std::min(2.0 * threshold_percent, (100.0 + threshold_percent) / 2.0)
                                   : 2.0;
}

bool same_machine(const SystemRecord& base, const SystemRecord& candidate) {
    const Topology& a = base.topology;
    const Topology& b = candidate.topology;
    const auto known_equal = [](const auto& x, const auto& y) {
        return x && y && *x == *y;
    };
    return known_equal(base.host_name, candidate.host_name) && !base.processor.empty() &&
           base.processor == candidate.processor && !base.library_version.empty() &&
           base.library_version == candidate.library_version && base.logical_processors > 0 &&
           base.logical_processors == candidate.logical_processors && known_equal(a.packages, b.packages) &&
           known_equal(a.physical_cores, b.physical_cores) && a.numa_nodes == b.numa_nodes && a.smt == b.smt;
}

bool PairComparison::slower() const {
    return std::any_of(kinds.begin(), kinds.end(),
                       [](const KindComparison& kind) { return kind.verdict == Verdict::slower; });
}

PairComparison compare_pair(const Result& base, const Result& candidate, const ComparisonSettings& settings) {
    PairComparison pair;
    pair.not_comparable = workload_differences(base, candidate);
    pair.environment = diff_environment(base, candidate);
    for (const std::uint32_t benchmark : benchmark_kinds) {
        const KindMeasurements base_runs = completed_runs(base, benchmark);
        const KindMeasurements candidate_runs = completed_runs(candidate, benchmark);
        note_left_out("BASE", benchmark, base_runs, pair.notes);
        note_left_out("NEW", benchmark, candidate_runs, pair.notes);
        if (base_runs.throughputs.empty() || candidate_runs.throughputs.empty()) {
            if (!base_runs.throughputs.empty() || !candidate_runs.throughputs.empty()) {
                pair.notes.push_back(std::string("only ") + (base_runs.throughputs.empty() ? "NEW" : "BASE") +
                                     " has completed " + kind_label(benchmark) +
                                     " runs; they are not compared");
            }
            continue;
        }
        pair.kinds.push_back(compare_kind(benchmark, base_runs, candidate_runs,
                                          same_machine(base.record.system, candidate.record.system),
                                          settings));
    }
    if (pair.kinds.empty()) {
        pair.not_comparable.push_back(
            "no kind of run (single-thread or all-threads) completed in both files");
    }
    judge_all(std::span<PairComparison>(&pair, 1), settings);
    return pair;
}

std::size_t judge_all(std::span<PairComparison> pairs, const ComparisonSettings& settings) {
    std::vector<KindComparison*> tested;
    std::vector<double> p_values;
    // The hint sizes runs for the family the tests will make once every kind decides.
    std::size_t family = 0;
    for (auto& pair : pairs) {
        if (!pair.comparable()) {
            continue;
        }
        family += pair.kinds.size();
        for (auto& kind : pair.kinds) {
            if (kind.test) {
                tested.push_back(&kind);
                p_values.push_back(kind.test->decisive());
            }
        }
    }
    const std::vector<double> adjusted = holm_adjusted(p_values);
    for (std::size_t i = 0; i < tested.size(); ++i) {
        tested[i]->adjusted_p = adjusted[i];
    }
    for (auto& pair : pairs) {
        if (!pair.comparable()) {
            continue;
        }
        for (auto& kind : pair.kinds) {
            if (kind.test) {
                kind.verdict = judge_test(*kind.test, *kind.adjusted_p, settings.confidence);
                kind.inconclusive_reason = kind.verdict == Verdict::inconclusive ? not_excluded_reason : "";
            } else {
                kind.verdict = Verdict::inconclusive;
            }
            kind.hint = kind.verdict == Verdict::inconclusive;
            kind.runs_needed.reset();
            if (kind.hint && kind.run_spread) {
                kind.runs_needed = runs_for_power(
                    kind.run_spread->log_standard_deviation, settings.detect_or_default() / 100.0,
                    settings.threshold_percent / 100.0, settings.confidence, family, hint_power);
            }
        }
    }
    return tested.size();
}

ComparisonOutcome outcome_of(const Comparison& comparison) {
    const auto& pairs = comparison.pairs;
    if (std::any_of(pairs.begin(), pairs.end(), [](const PairComparison& pair) { return pair.slower(); })) {
        return ComparisonOutcome::slower;
    }
    if (std::any_of(pairs.begin(), pairs.end(),
                    [](const PairComparison& pair) { return !pair.comparable(); })) {
        return ComparisonOutcome::not_comparable;
    }
    for (const auto& pair : pairs) {
        for (const auto& kind : pair.kinds) {
            if (kind.verdict == Verdict::inconclusive) {
                return ComparisonOutcome::inconclusive;
            }
        }
    }
    return ComparisonOutcome::no_slowdown;
}

const char* outcome_text(ComparisonOutcome outcome) {
    switch (outcome) {
        case ComparisonOutcome::slower:
            return "slower";
        case ComparisonOutcome::not_comparable:
            return "not comparable";
        case ComparisonOutcome::inconclusive:
            return "inconclusive";
        case ComparisonOutcome::no_slowdown:
            break;
    }
    return "no slowdown";
}

Comparison compare_results(const std::vector<Result>& files, const ComparisonSettings& settings) {
    Comparison comparison;
    comparison.settings = settings;
    for (const auto& file : files) {
        const auto& start = file.record.system.start_time_utc;
        comparison.files.push_back({file.path, file.schema_version_read,
                                    start ? std::optional<std::string>(format_utc(*start)) : std::nullopt,
                                    disturbed_runs(file)});
    }
    for (std::size_t i = 1; i < files.size(); ++i) {
        PairComparison pair = compare_pair(files[0], files[i], settings);
        pair.candidate_file = i;
        add_disturbance_notes(pair, files[0], files[i],
                              files.size() == 2 ? "NEW" : "NEW " + std::to_string(i));
        comparison.pairs.push_back(std::move(pair));
    }
    // Each pair was judged alone; the gate is one family over all of them.
    comparison.tests = judge_all(comparison.pairs, settings);
    return comparison;
}

}  // namespace quorlind::bench
