#include "result/system_json.h"

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

}  // namespace

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
