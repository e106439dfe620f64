#include "result/layout.h"

#include <optional>
#include <string>

#include "result/json_writer.h"
#include "result/names.h"
#include "result/system_fields.h"
#include "util/number_format.h"
#include "util/printable_text.h"

namespace quorlind::bench {
namespace {

[[noreturn]] void fail(const std::string& text) { throw LayoutError(text); }

// Far beyond any processor (a kernel call takes microseconds), and low enough
// that sums over millions of runs or intervals stay finite.
constexpr double max_plausible_ops_per_second = 1e18;

double throughput(const CheckedObject& object) {
    const double value = object.number_at_least("ops_per_second", 0.0);
    if (value > max_plausible_ops_per_second) {
        fail(object.place("ops_per_second") + " is beyond any real processor (" + format_significant(value) +
             ")");
    }
    return value;
}

QuorlindIntervalSample read_sample(const CheckedObject& sample) {
    QuorlindIntervalSample out{};
    out.end_seconds = sample.number_above("end_seconds", 0.0);
    out.duration_seconds = sample.number_above("duration_seconds", 0.0);
    out.operations = sample.count("operations");
    out.ops_per_second = throughput(sample);
    return out;
}

QuorlindRunSummary read_summary(const CheckedObject& summary) {
    QuorlindRunSummary out{};
    out.abi_version = static_cast<std::uint32_t>(summary.one_of("abi_version", {QUORLIND_ABI_VERSION}));
    out.status = static_cast<std::uint32_t>(summary.one_of("status", {0, 1, 2}));
    out.benchmark = static_cast<std::uint32_t>(summary.one_of("benchmark", {1, 2}));
    out.workers = static_cast<std::uint32_t>(summary.count("workers"));
    out.ops_per_second = throughput(summary);
    out.warmup_seconds = summary.number("warmup_seconds");
    out.measurement_seconds = summary.number("measurement_seconds");
    out.measured_seconds = summary.number_at_least("measured_seconds", 0.0);
    const auto variation = summary.optional_number_at_least("variation_percent", 0.0);
    out.variation_percent = variation.value_or(0.0);
    out.total_operations = summary.count("total_operations");
    out.checksum = summary.count("checksum");
    out.sample_count = summary.count("sample_count");
    out.unstable = static_cast<std::uint32_t>(summary.one_of("unstable", {0, 1}));
    out.has_variation = static_cast<std::uint32_t>(summary.one_of("has_variation", {0, 1}));
    if (out.has_variation != 0 && !variation) {
        fail(summary.place("variation_percent") + " is null although has_variation is 1");
    }
    return out;
}

Stability read_stability(const CheckedObject& stability) {
    Stability out;
    out.trend_percent = stability.optional_number("trend_percent");
    out.trend_significant = stability.boolean("trend_significant");
    const std::string instability = stability.text("instability");
    for (const Instability kind : {Instability::none, Instability::noise, Instability::drift}) {
        if (instability == instability_name(kind)) {
            out.instability = kind;
            return out;
        }
    }
    fail(stability.place("instability") + " should be none, noise or drift, not '" +
         printable_text(instability, 40) + "'");
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

std::uint32_t benchmark_of_threads(const CheckedObject& object) {
    const std::string threads = object.text("threads");
    const auto benchmark = benchmark_of_name(threads);
    if (!benchmark) {
        fail(object.place("threads") + " should be single or all, not '" + printable_text(threads, 40) + "'");
    }
    return *benchmark;
}

RunRecord read_run(const CheckedObject& run, double warmup_seconds, double measurement_seconds) {
    RunRecord out = read_run_outcome(run);
    out.index = run.count("index");
    const auto benchmark = static_cast<std::uint32_t>(run.one_of("benchmark", {1, 2}));
    out.config = {QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, benchmark, 0,
                  warmup_seconds,       measurement_seconds};
    if (benchmark_of_threads(run) != benchmark) {
        fail(run.place("threads") + " does not match benchmark " + std::to_string(benchmark));
    }
    if (out.summary.benchmark != benchmark) {
        fail(run.place("summary.benchmark") + " does not match benchmark " + std::to_string(benchmark));
    }
    if (run.boolean("partial") != is_partial(out)) {
        fail(run.place("partial") + " does not match " + run.place("status.code"));
    }
    out.stability = read_stability(run.object("stability"));
    // The file does not hold the span the trend covers; the samples tell it.
    const IntervalTrend trend = fit_interval_trend(out.samples);
    out.stability.measured_seconds = trend.end_seconds - trend.start_seconds;
    return out;
}

}  // namespace

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

RunRecord read_run_outcome(const CheckedObject& run) {
    RunRecord out;
    const CheckedObject status = run.object("status");
    const auto code = static_cast<std::uint32_t>(status.one_of("code", {0, 1, 2}));
    if (status.text("name") != status_name(code)) {
        fail(status.place("name") + " does not match code " + std::to_string(code));
    }
    out.reason = status.text("reason");
    out.summary = read_summary(run.object("summary"));
    if (out.summary.status != code) {
        fail(run.place("summary.status") + " does not match " + status.place("code"));
    }
    // Every comparison divides by it, and the library never reports 0 for a completed run.
    if (code == QUORLIND_STATUS_COMPLETED && !(out.summary.ops_per_second > 0.0)) {
        fail(run.place("summary.ops_per_second") + " is 0 for a completed run");
    }
    const auto& samples = run.array("samples");
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out.samples.push_back(
            read_sample({samples[i], run.place("samples") + "[" + std::to_string(i) + "]"}));
    }
    return out;
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
