#include "result/layout.h"

#include "result/names.h"
#include <string>

#include "result/json_writer.h"
#include "result/run_record.h"
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
        fail(object.place("ops_per_second") + " is beyond any real processor (" + number_text(value) + ")");
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

void check_stability(const CheckedObject& stability) {
    stability.optional_number("trend_percent");
    stability.boolean("trend_significant");
    const std::string instability = stability.text("instability");
    if (instability != "none" && instability != "noise" && instability != "drift") {
        fail(stability.place("instability") + " should be none, noise or drift, not '" +
             printable_text(instability, 40) + "'");
    }
}

void check_statistics(const CheckedObject& statistics) {
    for (const auto& [kind, value] : statistics.value().items()) {
        if (kind != "single" && kind != "all") {
            fail(statistics.where() + " has a member '" + printable_text(kind, 40) +
                 "'; only single and all belong there");
        }
        const CheckedObject figures = statistics.object(kind);
        figures.count("runs");
        figures.count("completed");
        for (const char* name :
             {"median", "minimum", "maximum", "mean", "ci95_low", "ci95_high", "cv_percent"}) {
            figures.optional_number(name);  // a wide interval around a small mean reaches below 0
        }
    }
}

std::string threads_name(const CheckedObject& object) {
    std::string threads = object.text("threads");
    if (threads != "single" && threads != "all") {
        fail(object.place("threads") + " should be single or all, not '" + printable_text(threads, 40) + "'");
    }
    return threads;
}

RunRecord read_run(const CheckedObject& run, double warmup_seconds, double measurement_seconds) {
    RunRecord out = read_run_outcome(run);
    out.index = run.count("index");
    const auto benchmark = static_cast<std::uint32_t>(run.one_of("benchmark", {1, 2}));
    out.config = {QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, benchmark, 0,
                  warmup_seconds,       measurement_seconds};
    if (threads_name(run) != benchmark_name(benchmark)) {
        fail(run.place("threads") + " does not match benchmark " + std::to_string(benchmark));
    }
    if (out.summary.benchmark != benchmark) {
        fail(run.place("summary.benchmark") + " does not match benchmark " + std::to_string(benchmark));
    }
    if (run.boolean("partial") != is_partial(out)) {
        fail(run.place("partial") + " does not match " + run.place("status.code"));
    }
    check_stability(run.object("stability"));
    return out;
}

}  // namespace

void check_system_basics(const CheckedObject& system) {
    system.text("processor");
    system.count("logical_processors");
    system.text("operating_system");
    system.text("library_version");
    system.count("abi_version");
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

ResultFile read_version2(nlohmann::json document) {
    const CheckedObject root(document, "");
    ResultFile out;
    root.object("tool").text("version");

    const CheckedObject configuration = root.object("configuration");
    const std::string threads = configuration.text("threads");
    if (threads != "single" && threads != "all" && threads != "both") {
        fail(configuration.place("threads") + " should be single, all or both, not '" +
             printable_text(threads, 40) + "'");
    }
    if (configuration.count("repeat") == 0) {
        fail(configuration.place("repeat") + " should be at least 1, not 0");
    }
    out.warmup_seconds = configuration.number_at_least("warmup_seconds", 0.0);
    out.measurement_seconds = configuration.number_above("measurement_seconds", 0.0);

    const CheckedObject system = root.object("system");
    check_system_basics(system);
    out.library_version = system.text("library_version");
    out.abi_version = system.count("abi_version");

    const auto& runs = root.array("runs");
    if (runs.empty()) {
        fail("runs is empty: the file holds no runs");
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        out.runs.push_back(read_run({runs[i], "runs[" + std::to_string(i) + "]"}, out.warmup_seconds,
                                    out.measurement_seconds));
    }
    check_statistics(root.object("statistics"));
    const auto& scaling = root.member("scaling");
    if (!scaling.is_null() && !scaling.is_object()) {
        fail("scaling should be null or an object, not " + describe_json_type(scaling));
    }
    check_notes(root);
    out.schema_version_read = result_schema_version;
    out.document = std::move(document);
    return out;
}

}  // namespace quorlind::bench
