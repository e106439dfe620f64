#include "compare/comparison_json.h"

#include "result/names.h"
#include "result/json_writer.h"
#include "result/run_record.h"

namespace quorlind::bench {
namespace {

using json = nlohmann::ordered_json;

json estimate_json(const ThroughputEstimate& estimate) {
    return {{"ops_per_second", estimate.ops_per_second},
            {"standard_error", optional_json(estimate.standard_error)},
            {"degrees_of_freedom", estimate.standard_error ? json(estimate.degrees_of_freedom) : json()},
            {"runs", estimate.runs},
            {"intervals", estimate.intervals}};
}

const char* source_name(UncertaintySource source) {
    switch (source) {
        case UncertaintySource::between_runs:
            return "between_runs";
        case UncertaintySource::pooled_runs:
            return "pooled_runs";
        case UncertaintySource::within_runs:
            break;
    }
    return "within_runs";
}

json kind_json(const KindComparison& kind, const ComparisonSettings& settings) {
    const bool run_to_run = kind.source != UncertaintySource::within_runs;
    const auto& interval = kind.ratio.interval;
    // The two-sided p against 1 is the deciding test only at threshold 0.
    const bool two_sided = settings.threshold_percent == 0.0 && kind.test;
    json power = json();
    if (kind.hint) {
        power = {{"power", hint_power},
                 {"change_percent", settings.detect_or_default()},
                 {"run_to_run_spread_percent",
                  kind.run_spread ? json(kind.run_spread->log_standard_deviation * 100.0) : json()},
                 {"runs_per_file", optional_json(kind.runs_needed)}};
    }
    return {
        {"threads", benchmark_name(kind.benchmark)},
        {"base", estimate_json(kind.base)},
        {"new", estimate_json(kind.candidate)},
        {"uncertainty",
         {{"source", source_name(kind.source)},
          {"run_to_run_covered", run_to_run},
          {"equal_relative_spread_assumed", kind.source == UncertaintySource::pooled_runs}}},
        {"ratio", kind.ratio.ratio},
        {"ratio_ci_low", interval ? json(interval->low) : json()},
        {"ratio_ci_high", interval ? json(interval->high) : json()},
        {"change_percent", kind.ratio.change_percent()},
        {"t", optional_json(kind.ratio.t)},
        {"degrees_of_freedom", optional_json(kind.ratio.degrees_of_freedom)},
        {"p_value", two_sided ? optional_json(kind.ratio.p_value) : json()},
        {"p_slower", kind.test ? json(kind.test->p_slower) : json()},
        {"p_faster", kind.test ? json(kind.test->p_faster) : json()},
        {"p_decisive", kind.test ? json(kind.test->decisive()) : json()},
        {"p_adjusted", optional_json(kind.adjusted_p)},
        {"verdict", kind.verdict ? json(verdict_text(*kind.verdict)) : json()},
        {"inconclusive_reason", kind.inconclusive_reason.empty() ? json() : json(kind.inconclusive_reason)},
        {"repeats_hint", std::move(power)}};
}

json pair_json(const PairComparison& pair, const ComparisonSettings& settings) {
    json kinds = json::array();
    for (const auto& kind : pair.kinds) {
        kinds.push_back(kind_json(kind, settings));
    }
    json environment = json::array();
    for (const auto& difference : pair.environment.differences) {
        environment.push_back(
            {{"field", difference.field}, {"base", difference.base}, {"new", difference.candidate}});
    }
    return {{"base", 0},
            {"new", pair.candidate_file},
            {"comparable", pair.comparable()},
            {"not_comparable_reasons", pair.not_comparable},
            {"slower", pair.slower()},
            {"kinds", std::move(kinds)},
            {"environment", std::move(environment)},
            {"fields_known_in_one_file", pair.environment.known_in_one_only.size()},
            {"notes", pair.notes}};
}

}  // namespace

json comparison_to_json(const Comparison& comparison, const std::string& tool_version) {
    json files = json::array();
    for (const auto& file : comparison.files) {
        files.push_back({{"path", file.path},
                         {"schema_version", file.schema_version_read},
                         {"start_time_utc", optional_json(file.start_time_utc)},
                         {"disturbed_runs", file.disturbed_runs}});
    }
    json pairs = json::array();
    for (const auto& pair : comparison.pairs) {
        pairs.push_back(pair_json(pair, comparison.settings));
    }
    return {{"schema_version", comparison_schema_version},
            {"tool", {{"name", tool_name}, {"version", tool_version}}},
            {"settings",
             {{"threshold_percent", comparison.settings.threshold_percent},
              {"confidence", comparison.settings.confidence},
              {"min_runs_for_run_to_run", min_runs_for_run_to_run}}},
            {"multiple_testing", {{"method", "holm"}, {"tests", comparison.tests}}},
            {"outcome", outcome_text(outcome_of(comparison))},
            {"files", std::move(files)},
            {"comparisons", std::move(pairs)}};
}

}  // namespace quorlind::bench
