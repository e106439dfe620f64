#include "result/system_json.h"

#include <limits>

#include "result/json_lookup.h"
#include "result/json_writer.h"

namespace quorlind::bench {
namespace {

using Json = nlohmann::ordered_json;

Json cache_json(const std::optional<CacheLevel>& cache) {
    if (!cache) {
        return Json();
    }
    return {{"size_bytes", cache->size_bytes}, {"count", cache->count}};
}

Json load_json(const std::optional<LoadAverage>& load) {
    if (!load) {
        return Json();
    }
    return Json::array({(*load)[0], (*load)[1], (*load)[2]});
}

using Read = nlohmann::json;

// A whole number that fits T, or unknown.
template <typename T>
std::optional<T> find_count(const Read& object, std::initializer_list<std::string_view> path) {
    const Read* value = find_member(object, path);
    if (value == nullptr || !value->is_number_integer()) {
        return std::nullopt;
    }
    if (value->is_number_unsigned()) {
        const auto count = value->get<std::uint64_t>();
        return count <= std::numeric_limits<T>::max() ? std::optional<T>(static_cast<T>(count))
                                                      : std::nullopt;
    }
    const auto count = value->get<std::int64_t>();
    return count >= 0 && static_cast<std::uint64_t>(count) <= std::numeric_limits<T>::max()
               ? std::optional<T>(static_cast<T>(count))
               : std::nullopt;
}

std::optional<CacheLevel> find_cache(const Read& system, std::string_view level) {
    const auto size = find_count<std::uint64_t>(system, {"caches", level, "size_bytes"});
    const auto count = find_count<unsigned>(system, {"caches", level, "count"});
    if (!size || !count) {
        return std::nullopt;
    }
    return CacheLevel{*size, *count};
}

std::optional<LoadAverage> find_load(const Read& system, std::string_view when) {
    const Read* values = find_member(system, {"load_average", when});
    if (values == nullptr || !values->is_array() || values->size() != 3) {
        return std::nullopt;
    }
    LoadAverage load{};
    for (std::size_t i = 0; i < load.size(); ++i) {
        const auto value = find_number((*values)[i], {});
        if (!value) {
            return std::nullopt;
        }
        load[i] = *value;
    }
    return load;
}

}  // namespace

void read_system_details(const nlohmann::json& system, SystemRecord& record) {
    record.start_time_utc = find_text(system, {"start_time_utc"});
    record.monotonic_start_seconds = find_number(system, {"monotonic_start_seconds"});
    record.host_name = find_text(system, {"host_name"});
    Topology& topology = record.topology;
    topology.packages = find_count<unsigned>(system, {"packages"});
    topology.physical_cores = find_count<unsigned>(system, {"physical_cores"});
    topology.smt = find_bool(system, {"smt"});
    topology.numa_nodes = find_count<unsigned>(system, {"numa_nodes"});
    topology.usable_logical_processors = find_count<unsigned>(system, {"usable_logical_processors"});
    topology.usable_physical_cores = find_count<unsigned>(system, {"usable_physical_cores"});
    topology.processor_groups = find_count<unsigned>(system, {"processor_groups"});
    topology.l1d = find_cache(system, "l1d");
    topology.l2 = find_cache(system, "l2");
    topology.l3 = find_cache(system, "l3");
    record.clock.base_mhz = find_number(system, {"base_frequency_mhz"});
    record.clock.max_mhz = find_number(system, {"max_frequency_mhz"});
    record.effective_clock_before_mhz = find_number(system, {"effective_clock_mhz", "before"});
    record.effective_clock_after_mhz = find_number(system, {"effective_clock_mhz", "after"});
    // The governors were written as one summary; it reads back as one governor.
    if (auto governor = find_text(system, {"governor"})) {
        record.power.governors = {std::move(*governor)};
    }
    record.power.boost = find_bool(system, {"boost"});
    record.hypervisor.present = find_bool(system, {"hypervisor", "present"});
    record.hypervisor.vendor = find_text(system, {"hypervisor", "vendor"});
    record.os.name = find_text(system, {"os_name"});
    record.os.version = find_text(system, {"os_version"});
    record.os.build = find_text(system, {"os_build"});
    record.load_before = find_load(system, "before");
    record.load_after = find_load(system, "after");
    record.library_build.compiler = find_text(system, {"library_compiler"});
    record.library_build.compiler_version = find_text(system, {"library_compiler_version"});
    record.library_build.build_type = find_text(system, {"library_build_type"});
}

Json system_json(const SystemRecord& system) {
    Json json;
    json["processor"] = system.processor;
    json["logical_processors"] = system.logical_processors;
    json["operating_system"] = system.operating_system;
    json["library_version"] = system.library_version;
    json["abi_version"] = system.abi_version;
    json["start_time_utc"] = optional_json(system.start_time_utc);
    json["monotonic_start_seconds"] = optional_json(system.monotonic_start_seconds);
    json["host_name"] = optional_json(system.host_name);
    const Topology& topology = system.topology;
    json["packages"] = optional_json(topology.packages);
    json["physical_cores"] = optional_json(topology.physical_cores);
    json["smt"] = optional_json(topology.smt);
    json["numa_nodes"] = optional_json(topology.numa_nodes);
    json["usable_logical_processors"] = optional_json(topology.usable_logical_processors);
    json["usable_physical_cores"] = optional_json(topology.usable_physical_cores);
    json["processor_groups"] = optional_json(topology.processor_groups);
    json["caches"] = {
        {"l1d", cache_json(topology.l1d)}, {"l2", cache_json(topology.l2)}, {"l3", cache_json(topology.l3)}};
    json["base_frequency_mhz"] = optional_json(system.clock.base_mhz);
    json["max_frequency_mhz"] = optional_json(system.clock.max_mhz);
    json["effective_clock_mhz"] = {{"before", optional_json(system.effective_clock_before_mhz)},
                                   {"after", optional_json(system.effective_clock_after_mhz)}};
    json["governor"] = optional_json(governor_summary(system.power));
    json["boost"] = optional_json(system.power.boost);
    json["hypervisor"] = {{"present", optional_json(system.hypervisor.present)},
                          {"vendor", optional_json(system.hypervisor.vendor)}};
    json["os_name"] = optional_json(system.os.name);
    json["os_version"] = optional_json(system.os.version);
    json["os_build"] = optional_json(system.os.build);
    json["load_average"] = {{"before", load_json(system.load_before)},
                            {"after", load_json(system.load_after)}};
    json["library_compiler"] = optional_json(system.library_build.compiler);
    json["library_compiler_version"] = optional_json(system.library_build.compiler_version);
    json["library_build_type"] = optional_json(system.library_build.build_type);
    return json;
}

}  // namespace quorlind::bench
