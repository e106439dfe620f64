#include "json_output.hpp"

#include "number_format.hpp"

namespace quorlind::bench {
namespace {

nlohmann::ordered_json summary_json(const QuorlindRunSummary &summary) {
    nlohmann::ordered_json json;
    json["abi_version"] = summary.abi_version;
    json["status"] = summary.status;
    json["benchmark"] = summary.benchmark;
    json["workers"] = summary.workers;
    json["ops_per_second"] = summary.ops_per_second;
    json["warmup_seconds"] = summary.warmup_seconds;
    json["measurement_seconds"] = summary.measurement_seconds;
    json["measured_seconds"] = summary.measured_seconds;
    // Without a value the C field holds 0.0, which would read as "perfectly stable".
    json["variation_percent"] =
        summary.has_variation != 0 ? nlohmann::ordered_json(summary.variation_percent) : nlohmann::ordered_json();
    json["total_operations"] = summary.total_operations;
    json["checksum"] = summary.checksum;
    json["checksum_hex"] = format_hex64(summary.checksum);
    json["sample_count"] = summary.sample_count;
    json["unstable"] = summary.unstable;
    json["has_variation"] = summary.has_variation;
    return json;
}

nlohmann::ordered_json sample_json(const QuorlindIntervalSample &sample) {
    nlohmann::ordered_json json;
    json["end_seconds"] = sample.end_seconds;
    json["duration_seconds"] = sample.duration_seconds;
    json["operations"] = sample.operations;
    json["ops_per_second"] = sample.ops_per_second;
    return json;
}

} // namespace

nlohmann::ordered_json to_json(const RunRecord &record) {
    nlohmann::ordered_json json;
    json["tool"] = {{"name", "quorlind-bench"}, {"version", record.host_version}};
    json["configuration"] = {
        {"benchmark", record.config.benchmark},
        {"threads", benchmark_name(record.config.benchmark)},
        {"warmup_seconds", record.config.warmup_seconds},
        {"measurement_seconds", record.config.measurement_seconds},
    };
    json["system"] = {
        {"processor", record.system.processor},
        {"logical_processors", record.system.logical_processors},
        {"operating_system", record.system.operating_system},
        {"library_version", record.system.library_version},
        {"abi_version", record.system.abi_version},
    };
    json["status"] = {
        {"code", record.summary.status},
        {"name", status_name(record.summary.status)},
        {"reason", record.reason},
    };
    json["summary"] = summary_json(record.summary);
    json["samples"] = nlohmann::ordered_json::array();
    for (const auto &sample : record.samples) {
        json["samples"].push_back(sample_json(sample));
    }
    json["notes"] = record.notes;
    return json;
}

} // namespace quorlind::bench
