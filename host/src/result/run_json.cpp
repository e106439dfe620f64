// One run of a result file, both ways: each part's writer, then its reader.
#include "result/run_json.h"

#include <string>

#include "result/json_writer.h"
#include "result/names.h"
#include "util/number_format.h"
#include "util/printable_text.h"

namespace quorlind::bench {
namespace {

using Json = nlohmann::ordered_json;

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

Json sample_json(const QuorlindIntervalSample& sample) {
    Json json;
    json["end_seconds"] = sample.end_seconds;
    json["duration_seconds"] = sample.duration_seconds;
    json["operations"] = sample.operations;
    json["ops_per_second"] = sample.ops_per_second;
    return json;
}

QuorlindIntervalSample read_sample(const CheckedObject& sample) {
    QuorlindIntervalSample out{};
    out.end_seconds = sample.number_above("end_seconds", 0.0);
    out.duration_seconds = sample.number_above("duration_seconds", 0.0);
    out.operations = sample.count("operations");
    out.ops_per_second = throughput(sample);
    return out;
}

Json stability_json(const Stability& stability) {
    return {
        {"trend_percent", optional_json(stability.trend_percent)},
        {"trend_significant", stability.trend_significant},
        {"instability", instability_name(stability.instability)},
    };
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

std::uint32_t benchmark_of_threads(const CheckedObject& object) {
    const std::string threads = object.text("threads");
    const auto benchmark = benchmark_of_name(threads);
    if (!benchmark) {
        fail(object.place("threads") + " should be single or all, not '" + printable_text(threads, 40) + "'");
    }
    return *benchmark;
}

// The figures' members in the order they are written; worker_cpu_seconds
// only where the figures span the run or its warm-up.
Json figures_json(const LoadFigures& figures, bool with_seconds) {
    Json json;
    json["worker_cpu_share"] = optional_json(figures.worker_cpu_share);
    json["runqueue_wait_share"] = optional_json(figures.runqueue_wait_share);
    json["involuntary_switches"] = optional_json(figures.involuntary_switches);
    json["other_processes_cpus"] = optional_json(figures.other_processes_cpus);
    json["steal_share"] = optional_json(figures.steal_share);
    json["clock_mhz"] = optional_json(figures.clock_mhz);
    json["temperature_celsius"] = optional_json(figures.temperature_celsius);
    if (with_seconds) {
        json["worker_cpu_seconds"] = optional_json(figures.worker_cpu_seconds);
    }
    return json;
}

std::optional<double> optional_share(const CheckedObject& object, std::string_view name) {
    const auto value = object.optional_number_at_least(name, 0.0);
    // A little over 1 is rounding between two clocks; far over it is not a share.
    if (value && *value > 1.5) {
        fail(object.place(name) + " is a share of time, not " + format_significant(*value));
    }
    return value;
}

LoadFigures read_figures(const CheckedObject& object, bool with_seconds) {
    LoadFigures out;
    out.worker_cpu_share = optional_share(object, "worker_cpu_share");
    out.runqueue_wait_share = optional_share(object, "runqueue_wait_share");
    if (!object.is_null("involuntary_switches")) {
        out.involuntary_switches = object.count("involuntary_switches");
    }
    out.other_processes_cpus = object.optional_number_at_least("other_processes_cpus", 0.0);
    out.steal_share = optional_share(object, "steal_share");
    out.clock_mhz = object.optional_number_at_least("clock_mhz", 0.0);
    out.temperature_celsius = object.optional_number("temperature_celsius");
    if (with_seconds) {
        out.worker_cpu_seconds = object.optional_number_at_least("worker_cpu_seconds", 0.0);
    }
    return out;
}

Json load_json(const RunRecord& run) {
    if (!run.load) {
        return Json();
    }
    const RunLoad& load = *run.load;
    Json json = figures_json(load.measurement, true);
    json["operations_per_processor_second"] = optional_json(operations_per_processor_second(run));
    json["disturbed"] = optional_json(run.disturbance.disturbed);
    json["causes"] = Json::array();
    for (const LoadCause& cause : run.causes) {
        json["causes"].push_back({{"kind", cause_kind_name(cause.kind)},
                                  {"intervals", cause.intervals},
                                  {"figure", cause.figure},
                                  {"text", cause.text}});
    }
    json["warmup"] = figures_json(load.warmup, true);
    json["intervals"] = Json::array();
    for (const LoadFigures& figures : load.intervals) {
        json["intervals"].push_back(figures_json(figures, false));
    }
    json["alignment_seconds"] = load.alignment_seconds;
    json["availability"] = Json::array();
    for (const FigureAvailability& figure : load.availability) {
        json["availability"].push_back(
            {{"figure", figure.figure}, {"available", figure.available}, {"reason", figure.reason}});
    }
    return json;
}

std::vector<CheckedObject> objects_of(const CheckedObject& parent, std::string_view name) {
    std::vector<CheckedObject> out;
    const auto& array = parent.array(name);
    for (std::size_t i = 0; i < array.size(); ++i) {
        const std::string place = parent.place(name) + "[" + std::to_string(i) + "]";
        if (!array[i].is_object()) {
            fail(place + " should be an object, not " + describe_json_type(array[i]));
        }
        out.emplace_back(array[i], place);
    }
    return out;
}

// The load as written; the disturbance and causes are read to be checked
// against those worked out again.
void read_load(const CheckedObject& run, RunRecord& out) {
    if (run.is_null("load")) {
        return;
    }
    const CheckedObject load = run.object("load");
    RunLoad figures;
    figures.measurement = read_figures(load, true);
    load.optional_number_at_least("operations_per_processor_second", 0.0);
    out.disturbance.disturbed = load.optional_boolean("disturbed");
    for (const CheckedObject& cause : objects_of(load, "causes")) {
        LoadCause read;
        const std::string kind = cause.text("kind");
        bool known = false;
        for (const CauseKind k :
             {CauseKind::other_processes, CauseKind::steal, CauseKind::clock_fall, CauseKind::temperature}) {
            if (kind == cause_kind_name(k)) {
                read.kind = k;
                known = true;
            }
        }
        if (!known) {
            fail(cause.place("kind") + " should be other_processes, steal, clock_fall or temperature, not '" +
                 printable_text(kind, 40) + "'");
        }
        const auto& intervals = cause.array("intervals");
        for (std::size_t i = 0; i < intervals.size(); ++i) {
            if (!intervals[i].is_number_unsigned() ||
                intervals[i].get<std::uint64_t>() >= out.samples.size()) {
                fail(cause.place("intervals") + "[" + std::to_string(i) + "] should name one of the run's " +
                     std::to_string(out.samples.size()) + " intervals");
            }
            read.intervals.push_back(intervals[i].get<std::size_t>());
        }
        read.figure = cause.number("figure");
        read.text = cause.text("text");
        out.causes.push_back(std::move(read));
    }
    figures.warmup = read_figures(load.object("warmup"), true);
    for (const CheckedObject& interval : objects_of(load, "intervals")) {
        figures.intervals.push_back(read_figures(interval, false));
    }
    if (figures.intervals.size() != out.samples.size()) {
        fail(load.place("intervals") + " holds " + std::to_string(figures.intervals.size()) +
             " intervals for the run's " + std::to_string(out.samples.size()) + " samples");
    }
    figures.alignment_seconds = load.number_at_least("alignment_seconds", 0.0);
    for (const CheckedObject& figure : objects_of(load, "availability")) {
        figures.availability.push_back(
            {figure.text("figure"), figure.boolean("available"), figure.text("reason")});
    }
    out.load = std::move(figures);
}

}  // namespace

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
    json["stability"] = stability_json(run.stability);
    json["load"] = load_json(run);
    return json;
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
    read_load(run, out);
    return out;
}

}  // namespace quorlind::bench
