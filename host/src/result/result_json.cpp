// A result document, both ways: each part's writer, then its reader. The
// system record's fields are in system_fields.cpp, the runs' in run_json.cpp.
#include "result/json_writer.h"
#include "result/result_json.h"

#include <string>

#include "result/kind_runs.h"
#include "result/names.h"
#include "result/run_json.h"
#include "result/system_fields.h"
#include "util/printable_text.h"

namespace quorlind::bench {
namespace {

using Json = nlohmann::ordered_json;

[[noreturn]] void fail(const std::string& text) { throw LayoutError(text); }

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

KindStatistics read_kind_statistics(const CheckedObject& figures) {
    KindStatistics out;
    out.runs = figures.count("runs");
    out.completed = figures.count("completed");
    // A wide interval around a small mean reaches below 0.
    out.median = figures.optional_number("median");
    out.minimum = figures.optional_number("minimum");
    out.maximum = figures.optional_number("maximum");
    out.mean = figures.optional_number("mean");
    const auto low = figures.optional_number("ci95_low");
    const auto high = figures.optional_number("ci95_high");
    if (low && high) {
        out.ci95 = Interval{*low, *high};
    }
    out.cv_percent = figures.optional_number("cv_percent");
    return out;
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

void read_statistics(const CheckedObject& statistics, Result& result) {
    for (const auto& [kind, value] : statistics.value().items()) {
        const auto benchmark = benchmark_of_name(kind);
        if (!benchmark) {
            fail(statistics.where() + " has a member '" + printable_text(kind, 40) +
                 "'; only single and all belong there");
        }
        (*benchmark == QUORLIND_BENCHMARK_PER_CPU ? result.all : result.single) =
            read_kind_statistics(statistics.object(kind));
    }
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

std::optional<Scaling> read_scaling(const CheckedObject& root, const SystemRecord& system) {
    const auto& value = root.member("scaling");
    if (value.is_null()) {
        return std::nullopt;
    }
    if (!value.is_object()) {
        fail("scaling should be null or an object, not " + describe_json_type(value));
    }
    const CheckedObject scaling = root.object("scaling");
    Scaling out;
    out.multi_core_ratio = scaling.number("multi_core_ratio");
    // Files from before the paired ratio hold none of these: the ratio was
    // the medians', over the online processors and the machine's cores.
    if (scaling.has("multi_core_ratio_interval") && !scaling.member("multi_core_ratio_interval").is_null()) {
        const CheckedObject interval = scaling.object("multi_core_ratio_interval");
        out.multi_core_ratio_interval = Interval{interval.number("low"), interval.number("high")};
    }
    out.pairs = scaling.has("pairs") ? scaling.count("pairs") : 0;
    out.workers = scaling.has("workers") ? scaling.small_count("workers") : system.logical_processors;
    if (scaling.has("physical_cores")) {
        if (const auto cores = scaling.optional_number_at_least("physical_cores", 1.0)) {
            out.physical_cores = static_cast<unsigned>(*cores);
        }
    } else {
        out.physical_cores = system.topology.physical_cores;
    }
    out.efficiency_per_logical_processor = scaling.number("efficiency_per_logical_processor");
    out.efficiency_per_physical_core = scaling.optional_number("efficiency_per_physical_core");
    out.smt_gain = scaling.optional_number("smt_gain");
    return out;
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

SystemRecord read_system_basics(const CheckedObject& system) {
    SystemRecord out;
    for (const SystemField& field : system_field_table()) {
        if (field.version1) {
            read_system_field(field, system, out);
        }
    }
    return out;
}

void check_notes(const CheckedObject& document) {
    for (const auto& note : document.array("notes")) {
        if (!note.is_string()) {
            fail(document.place("notes") + " should hold only strings, not " + describe_json_type(note));
        }
    }
}

Result read_version2(const nlohmann::json& document) {
    const CheckedObject root(document, "");
    Result out;
    ResultRecord& record = out.record;
    const CheckedObject tool = root.object("tool");
    record.tool_version = tool.text("version");
    record.tool_build = {tool.optional_text("compiler"), tool.optional_text("compiler_version"),
                         tool.optional_text("build_type")};

    const CheckedObject configuration = root.object("configuration");
    const std::string threads = configuration.text("threads");
    const auto mode = thread_mode_of_name(threads);
    if (!mode) {
        fail(configuration.place("threads") + " should be single, all or both, not '" +
             printable_text(threads, 40) + "'");
    }
    record.threads = *mode;
    record.repeat = configuration.count("repeat");
    if (record.repeat == 0) {
        fail(configuration.place("repeat") + " should be at least 1, not 0");
    }
    record.warmup_seconds = configuration.number_at_least("warmup_seconds", 0.0);
    record.measurement_seconds = configuration.number_above("measurement_seconds", 0.0);

    const CheckedObject system = root.object("system");
    record.system = read_system_record(system);

    const auto& runs = root.array("runs");
    if (runs.empty()) {
        fail("runs is empty: the file holds no runs");
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        record.runs.push_back(read_run({runs[i], "runs[" + std::to_string(i) + "]"}, record.warmup_seconds,
                                       record.measurement_seconds));
    }
    read_statistics(root.object("statistics"), out);
    out.scaling = read_scaling(root, record.system);
    check_notes(root);
    record.notes = document.at("notes").get<std::vector<std::string>>();
    out.schema_version_read = result_schema_version;
    return out;
}

}  // namespace quorlind::bench
