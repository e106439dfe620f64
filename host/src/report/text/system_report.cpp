#include "report/text/system_report.h"

#include "report/text/columns.h"
#include "util/number_format.h"

namespace quorlind::bench {
namespace {

constexpr const char* unknown = "unknown";

std::string text_or_unknown(const std::optional<std::string>& text) { return text.value_or(unknown); }

std::string count_or_unknown(const std::optional<unsigned>& count, const char* singular, const char* plural) {
    return count ? format_count(*count, singular, plural) : std::string(plural) + " " + unknown;
}

std::string switch_text(const std::optional<bool>& value) {
    return value ? (*value ? "on" : "off") : unknown;
}

std::string mhz_text(const std::optional<double>& mhz) { return mhz ? format_rate(*mhz) + " MHz" : unknown; }

std::string cache_text(const char* name, const std::optional<CacheLevel>& cache) {
    if (!cache) {
        return std::string(name) + " " + unknown;
    }
    return std::string(name) + " " + format_bytes(cache->size_bytes) + " x " + std::to_string(cache->count);
}

std::string load_text(const std::optional<LoadAverage>& load) {
    if (!load) {
        return unknown;
    }
    return format_fixed((*load)[0], 2) + " " + format_fixed((*load)[1], 2) + " " +
           format_fixed((*load)[2], 2);
}

std::string build_text(const BuildInfo& build) {
    std::string text = "built with " + text_or_unknown(build.compiler);
    if (build.compiler_version) {
        text += " " + *build.compiler_version;
    }
    return text + " (" + text_or_unknown(build.build_type) + ")";
}

std::string hypervisor_text(const Hypervisor& hypervisor) {
    if (!hypervisor.present) {
        return unknown;
    }
    if (!*hypervisor.present) {
        return "none";
    }
    return hypervisor.vendor.value_or("present, vendor unknown");
}

// Only where there is more than one group, which only Windows has.
std::string groups_text(const std::optional<unsigned>& groups) {
    return groups && *groups > 1 ? " in " + std::to_string(*groups) + " processor groups" : std::string();
}

}  // namespace

void write_system_report(std::ostream& out, const SystemRecord& system, const std::string& tool_version,
                         const BuildInfo& tool_build) {
    const Topology& topology = system.topology;
    out << "System\n";
    write_field(out, "Started",
                text_or_unknown(system.start_time_utc) + " on host " + text_or_unknown(system.host_name));
    write_field(out, "Processor",
                (system.processor.empty() ? std::string("unknown processor") : system.processor) + ", " +
                    std::to_string(system.logical_processors) + " logical processors" +
                    groups_text(topology.processor_groups));
    write_field(out, "Topology",
                count_or_unknown(topology.packages, "package", "packages") + ", " +
                    count_or_unknown(topology.physical_cores, "physical core", "physical cores") + ", SMT " +
                    switch_text(topology.smt) + ", " +
                    count_or_unknown(topology.numa_nodes, "NUMA node", "NUMA nodes"));
    write_field(out, "Caches",
                cache_text("L1d", topology.l1d) + ", " + cache_text("L2", topology.l2) + ", " +
                    cache_text("L3", topology.l3));
    write_field(out, "Clock",
                "base " + mhz_text(system.clock.base_mhz) + ", max " + mhz_text(system.clock.max_mhz) +
                    "; measured " + mhz_text(system.effective_clock_before_mhz) + " before, " +
                    mhz_text(system.effective_clock_after_mhz) + " after");
    write_field(out, "Power",
                "governor " + text_or_unknown(governor_summary(system.power)) + ", boost " +
                    switch_text(system.power.boost));
    write_field(out, "Hypervisor", hypervisor_text(system.hypervisor));
    write_field(out, "OS",
                text_or_unknown(system.os.name) + " " + text_or_unknown(system.os.version) + ", build " +
                    text_or_unknown(system.os.build));
    write_field(out, "Load",
                load_text(system.load_before) + " before, " + load_text(system.load_after) + " after");
    write_field(out, "Library",
                (system.library_version.empty() ? std::string(unknown) : system.library_version) +
                    ", C interface " + std::to_string(system.abi_version) + ", " +
                    build_text(system.library_build));
    write_field(out, "Tool", tool_version + ", " + build_text(tool_build));
}

}  // namespace quorlind::bench
