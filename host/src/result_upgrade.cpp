// Version 1 results: the layout quorlind-bench wrote before schema_version
// existed, one run per file with its status, summary and samples at the top.
#include "result_layout.hpp"
#include "run_record.hpp"

namespace quorlind::bench {
namespace {

using json = nlohmann::json;

// What version 2 added to the system record, all unknown to a version-1 file.
json system_fields_unknown_to_version1() {
    const json before_after = {{"before", nullptr}, {"after", nullptr}};
    return {{"start_time_utc", nullptr},
            {"monotonic_start_seconds", nullptr},
            {"host_name", nullptr},
            {"packages", nullptr},
            {"physical_cores", nullptr},
            {"smt", nullptr},
            {"numa_nodes", nullptr},
            {"caches", {{"l1d", nullptr}, {"l2", nullptr}, {"l3", nullptr}}},
            {"base_frequency_mhz", nullptr},
            {"max_frequency_mhz", nullptr},
            {"effective_clock_mhz", before_after},
            {"governor", nullptr},
            {"boost", nullptr},
            {"hypervisor", {{"present", nullptr}, {"vendor", nullptr}}},
            {"os_name", nullptr},
            {"os_version", nullptr},
            {"os_build", nullptr},
            {"load_average", before_after},
            {"library_compiler", nullptr},
            {"library_compiler_version", nullptr},
            {"library_build_type", nullptr}};
}

json statistics_of_one_run(const ResultRun& run) {
    const bool completed = run.completed();
    const json throughput = completed ? json(run.summary.ops_per_second) : json();
    // One run has no spread: no interval and no variation between runs.
    return {{"runs", 1},
            {"completed", completed ? 1 : 0},
            {"median", throughput},
            {"minimum", throughput},
            {"maximum", throughput},
            {"mean", throughput},
            {"ci95_low", nullptr},
            {"ci95_high", nullptr},
            {"cv_percent", nullptr}};
}

json stability_of(const ResultRun& run) {
    return {{"trend_percent", nullptr},
            {"trend_significant", false},
            {"instability", run.summary.unstable != 0 ? "noise" : "none"}};
}

}  // namespace

json upgrade_version1(const json& document) {
    const CheckedObject root(document, "");
    const CheckedObject tool = root.object("tool");
    tool.text("version");

    const CheckedObject configuration = root.object("configuration");
    const auto benchmark = static_cast<std::uint32_t>(configuration.one_of("benchmark", {1, 2}));
    if (configuration.text("threads") != benchmark_name(benchmark)) {
        throw LayoutError("configuration.threads does not match configuration.benchmark");
    }
    configuration.number_at_least("warmup_seconds", 0.0);
    configuration.number_above("measurement_seconds", 0.0);

    check_system_basics(root.object("system"));

    ResultRun run = read_run_outcome(root);
    run.benchmark = benchmark;
    run.partial = run.summary.status == QUORLIND_STATUS_CANCELLED;
    if (run.summary.benchmark != benchmark) {
        throw LayoutError("summary.benchmark does not match configuration.benchmark");
    }
    check_notes(root);

    json upgraded;
    upgraded["schema_version"] = current_schema_version;
    upgraded["tool"] = {{"name", document.at("tool").at("name")},
                        {"version", document.at("tool").at("version")},
                        {"compiler", nullptr},
                        {"compiler_version", nullptr},
                        {"build_type", nullptr}};
    upgraded["configuration"] = {
        {"threads", benchmark_name(benchmark)},
        {"repeat", 1},
        {"warmup_seconds", document.at("configuration").at("warmup_seconds")},
        {"measurement_seconds", document.at("configuration").at("measurement_seconds")}};
    json upgraded_system = system_fields_unknown_to_version1();
    upgraded_system.update(document.at("system"));
    upgraded["system"] = std::move(upgraded_system);
    upgraded["runs"] = json::array({{{"index", 0},
                                     {"benchmark", benchmark},
                                     {"threads", benchmark_name(benchmark)},
                                     {"partial", run.partial},
                                     {"status", document.at("status")},
                                     {"summary", document.at("summary")},
                                     {"samples", document.at("samples")},
                                     {"stability", stability_of(run)}}});
    upgraded["statistics"] = {{benchmark_name(benchmark), statistics_of_one_run(run)}};
    upgraded["scaling"] = nullptr;
    upgraded["notes"] = document.at("notes");
    return upgraded;
}

}  // namespace quorlind::bench
