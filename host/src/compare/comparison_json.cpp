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

json kind_json(const KindComparison& kind) {
    const bool between_runs = kind.source == UncertaintySource::between_runs;
    const auto& interval = kind.ratio.interval;
    return {
        {"threads", benchmark_name(kind.benchmark)},
        {"base", estimate_json(kind.base)},
        {"new", estimate_json(kind.candidate)},
        {"uncertainty",
         {{"source", between_runs ? "between_runs" : "within_runs"}, {"run_to_run_covered", between_runs}}},
        {"ratio", kind.ratio.ratio},
        {"ratio_ci_low", interval ? json(interval->low) : json()},
        {"ratio_ci_high", interval ? json(interval->high) : json()},
        {"change_percent", kind.ratio.change_percent()},
        {"t", optional_json(kind.ratio.t)},
        {"degrees_of_freedom", optional_json(kind.ratio.degrees_of_freedom)},
        {"p_value", optional_json(kind.ratio.p_value)},
        {"verdict", kind.verdict ? json(verdict_text(*kind.verdict)) : json()}};
}

json pair_json(const PairComparison& pair) {
    json kinds = json::array();
    for (const auto& kind : pair.kinds) {
        kinds.push_back(kind_json(kind));
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
            {"fields_known_in_one_file", pair.environment.known_in_one_only},
            {"notes", pair.notes}};
}

}  // namespace

json comparison_to_json(const Comparison& comparison, const std::string& tool_version) {
    json files = json::array();
    for (const auto& file : comparison.files) {
        files.push_back({{"path", file.path},
                         {"schema_version", file.schema_version_read},
                         {"start_time_utc", optional_json(file.start_time_utc)}});
    }
    json pairs = json::array();
    for (const auto& pair : comparison.pairs) {
        pairs.push_back(pair_json(pair));
    }
    return {{"schema_version", comparison_schema_version},
            {"tool", {{"name", tool_name}, {"version", tool_version}}},
            {"settings",
             {{"threshold_percent", comparison.settings.threshold_percent},
              {"confidence", comparison.settings.confidence},
              {"min_runs_for_run_to_run", min_runs_for_run_to_run}}},
            {"outcome", outcome_text(outcome_of(comparison))},
            {"files", std::move(files)},
            {"comparisons", std::move(pairs)}};
}

}  // namespace quorlind::bench
