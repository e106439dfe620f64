#include "result/json_writer.h"

#include "result/names.h"
#include "result/system_fields.h"
#include "util/number_format.h"
#include "result/kind_statistics.h"
#include "stats/stability.h"

namespace quorlind::bench {
namespace {

using Json = nlohmann::ordered_json;

Json summary_json(const QuorlindRunSummary& summary) {
    Json json;
    json["abi_version"] = summary.abi_version;
    json["status"] = summary.status;
    json["benchmark"] = summary.benchmark;
    json["workers"] = summary.workers;
    json["ops_per_second"] = summary.ops_per_second;
    json["warmup_seconds"] = summary.warmup_seconds;
    json["measurement_seconds"] = summary.measurement_seconds;
    json["measured_seconds"] = summary.measured_seconds;
    // Without a value the C field holds 0.0, which would read as "perfectly stable".
    json["variation_percent"] = summary.has_variation != 0 ? Json(summary.variation_percent) : Json();
    json["total_operations"] = summary.total_operations;
    json["checksum"] = summary.checksum;
    json["checksum_hex"] = format_hex64(summary.checksum);
    json["sample_count"] = summary.sample_count;
    json["unstable"] = summary.unstable;
    json["has_variation"] = summary.has_variation;
    return json;
}

Json sample_json(const QuorlindIntervalSample& sample) {
    Json json;
    json["end_seconds"] = sample.end_seconds;
    json["duration_seconds"] = sample.duration_seconds;
    json["operations"] = sample.operations;
    json["ops_per_second"] = sample.ops_per_second;
    return json;
}

Json run_json(const RunRecord& run) {
    Json json;
    json["index"] = run.index;
    json["benchmark"] = run.config.benchmark;
    json["threads"] = benchmark_name(run.config.benchmark);
    json["partial"] = is_partial(run);
    json["status"] = {
        {"code", run.summary.status},
        {"name", status_name(run.summary.status)},
        {"reason", run.reason},
    };
    json["summary"] = summary_json(run.summary);
    json["samples"] = Json::array();
    for (const auto& sample : run.samples) {
        json["samples"].push_back(sample_json(sample));
    }
    json["stability"] = {
        {"trend_percent", optional_json(run.stability.trend_percent)},
        {"trend_significant", run.stability.trend_significant},
        {"instability", instability_name(run.stability.instability)},
    };
    return json;
}

Json kind_statistics_json(const KindStatistics& statistics) {
    Json json;
    json["runs"] = statistics.runs;
    json["completed"] = statistics.completed;
    json["median"] = optional_json(statistics.median);
    json["minimum"] = optional_json(statistics.minimum);
    json["maximum"] = optional_json(statistics.maximum);
    json["mean"] = optional_json(statistics.mean);
    json["ci95_low"] = statistics.ci95 ? Json(statistics.ci95->low) : Json();
    json["ci95_high"] = statistics.ci95 ? Json(statistics.ci95->high) : Json();
    json["cv_percent"] = optional_json(statistics.cv_percent);
    return json;
}

Json statistics_json(const Result& result) {
    Json json = Json::object();
    for (const std::uint32_t benchmark : benchmark_kinds) {
        if (const auto& statistics = result.statistics(benchmark)) {
            json[benchmark_name(benchmark)] = kind_statistics_json(*statistics);
        }
    }
    return json;
}

Json scaling_json(const std::optional<Scaling>& scaling) {
    if (!scaling) {
        return Json();
    }
    Json json;
    json["multi_core_ratio"] = scaling->multi_core_ratio;
    json["multi_core_ratio_interval"] = Json();
    if (scaling->multi_core_ratio_interval) {
        json["multi_core_ratio_interval"] = {{"low", scaling->multi_core_ratio_interval->low},
                                             {"high", scaling->multi_core_ratio_interval->high}};
    }
    json["pairs"] = scaling->pairs;
    json["workers"] = scaling->workers;
    json["physical_cores"] = optional_json(scaling->physical_cores);
    json["efficiency_per_logical_processor"] = scaling->efficiency_per_logical_processor;
    json["efficiency_per_physical_core"] = optional_json(scaling->efficiency_per_physical_core);
    json["smt_gain"] = optional_json(scaling->smt_gain);
    return json;
}

}  // namespace

Json tool_json(const std::string& tool_version, const BuildInfo& tool_build) {
    Json json;
    json["name"] = tool_name;
    json["version"] = tool_version;
    json["compiler"] = optional_json(tool_build.compiler);
    json["compiler_version"] = optional_json(tool_build.compiler_version);
    json["build_type"] = optional_json(tool_build.build_type);
    return json;
}

Json configuration_json(const ResultRecord& record) {
    return {
        {"threads", thread_mode_name(record.threads)},
        {"repeat", record.repeat},
        {"warmup_seconds", record.warmup_seconds},
        {"measurement_seconds", record.measurement_seconds},
    };
}

Json to_json(const Result& result) {
    const ResultRecord& record = result.record;
    Json json;
    json["schema_version"] = result_schema_version;
    json["tool"] = tool_json(record.tool_version, record.tool_build);
    json["configuration"] = configuration_json(record);
    json["system"] = system_json(record.system);
    json["runs"] = Json::array();
    for (const auto& run : record.runs) {
        json["runs"].push_back(run_json(run));
    }
    json["statistics"] = statistics_json(result);
    json["scaling"] = scaling_json(result.scaling);
    json["notes"] = record.notes;
    return json;
}

Json system_document_json(const std::string& tool_version, const BuildInfo& tool_build,
                          const SystemRecord& system) {
    Json json;
    json["schema_version"] = result_schema_version;
    json["tool"] = tool_json(tool_version, tool_build);
    json["system"] = system_json(system);
    return json;
}

}  // namespace quorlind::bench
