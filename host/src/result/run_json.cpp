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
    return out;
}

}  // namespace quorlind::bench
