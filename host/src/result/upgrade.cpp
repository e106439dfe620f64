// Version 1 results: the layout quorlind-bench wrote before schema_version
// existed, one run per file with its status, summary and samples at the top.
// They are rebuilt into the record a run leaves today and written by the
// same writer, so statistics, stability and unknown fields come out exactly
// as a current run's would.
#include "result/upgrade.h"

#include "result/json_writer.h"
#include "result/result_json.h"
#include "result/run_json.h"
#include "result/names.h"
#include "result/result.h"

namespace quorlind::bench {

using json = nlohmann::json;

json upgrade_version1(const json& document) {
    const CheckedObject root(document, "");
    ResultRecord record;
    record.tool_version = root.object("tool").text("version");

    const CheckedObject configuration = root.object("configuration");
    const auto benchmark = static_cast<std::uint32_t>(configuration.one_of("benchmark", {1, 2}));
    if (configuration.text("threads") != benchmark_name(benchmark)) {
        throw LayoutError("configuration.threads does not match configuration.benchmark");
    }
    record.threads = benchmark == QUORLIND_BENCHMARK_PER_CPU ? ThreadMode::all : ThreadMode::single;
    record.warmup_seconds = configuration.number_at_least("warmup_seconds", 0.0);
    record.measurement_seconds = configuration.number_above("measurement_seconds", 0.0);
    record.system = read_system_basics(root.object("system"));

    RunRecord& run = record.runs.emplace_back(read_run_outcome(root));
    if (run.summary.benchmark != benchmark) {
        throw LayoutError("summary.benchmark does not match configuration.benchmark");
    }
    run.config = {QUORLIND_ABI_VERSION,  QUORLIND_CONFIG_SIZE,      benchmark, 0,
                  record.warmup_seconds, record.measurement_seconds};

    check_notes(root);
    record.notes = document.at("notes").get<std::vector<std::string>>();
    return json(to_json(result_of_run(std::move(record))));
}

json upgrade_version2(json document) {
    document["schema_version"] = result_schema_version;
    const auto runs = document.find("runs");
    if (runs != document.end() && runs->is_array()) {
        for (auto& run : *runs) {
            // A run that is not an object is left for the reader to name.
            if (run.is_object() && !run.contains("load")) {
                run["load"] = nullptr;
            }
        }
    }
    return document;
}

}  // namespace quorlind::bench
