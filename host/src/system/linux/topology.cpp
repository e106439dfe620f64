#include "system/linux/topology.h"

#include <algorithm>
#include <hwloc.h>
#include <memory>

#include "system/topology.h"

namespace quorlind::bench {
namespace {

struct TopologyDeleter {
    void operator()(hwloc_topology* topology) const { hwloc_topology_destroy(topology); }
};
using UniqueTopology = std::unique_ptr<hwloc_topology, TopologyDeleter>;

std::optional<unsigned> count_of(hwloc_topology_t topology, hwloc_obj_type_t type) {
    const int count = hwloc_get_nbobjs_by_type(topology, type);
    return count > 0 ? std::optional<unsigned>(static_cast<unsigned>(count)) : std::nullopt;
}

std::optional<CacheLevel> data_cache(hwloc_topology_t topology, hwloc_obj_type_t type) {
    CacheLevel level;
    for (hwloc_obj_t cache = hwloc_get_next_obj_by_type(topology, type, nullptr); cache != nullptr;
         cache = hwloc_get_next_obj_by_type(topology, type, cache)) {
        if (cache->attr->cache.type == HWLOC_OBJ_CACHE_INSTRUCTION) {
            continue;
        }
        level.size_bytes = std::max<std::uint64_t>(level.size_bytes, cache->attr->cache.size);
        ++level.count;
    }
    if (level.count == 0 || level.size_bytes == 0) {
        return std::nullopt;
    }
    return level;
}

Topology describe(hwloc_topology_t topology) {
    Topology result;
    result.packages = count_of(topology, HWLOC_OBJ_PACKAGE);
    result.physical_cores = count_of(topology, HWLOC_OBJ_CORE);
    result.logical_processors = count_of(topology, HWLOC_OBJ_PU);
    result.numa_nodes = count_of(topology, HWLOC_OBJ_NUMANODE);
    if (result.physical_cores && result.logical_processors) {
        result.smt = *result.logical_processors > *result.physical_cores;
    }
    result.l1d = data_cache(topology, HWLOC_OBJ_L1CACHE);
    result.l2 = data_cache(topology, HWLOC_OBJ_L2CACHE);
    result.l3 = data_cache(topology, HWLOC_OBJ_L3CACHE);
    return result;
}

void count_usable(hwloc_topology_t topology, hwloc_const_cpuset_t usable, Topology& result) {
    unsigned processors = 0;
    for (hwloc_obj_t unit = hwloc_get_next_obj_by_type(topology, HWLOC_OBJ_PU, nullptr); unit != nullptr;
         unit = hwloc_get_next_obj_by_type(topology, HWLOC_OBJ_PU, unit)) {
        processors += hwloc_bitmap_isset(usable, unit->os_index) ? 1 : 0;
    }
    unsigned cores = 0;
    for (hwloc_obj_t core = hwloc_get_next_obj_by_type(topology, HWLOC_OBJ_CORE, nullptr); core != nullptr;
         core = hwloc_get_next_obj_by_type(topology, HWLOC_OBJ_CORE, core)) {
        cores += hwloc_bitmap_intersects(core->cpuset, usable) ? 1 : 0;
    }
    if (processors > 0) {
        result.usable_logical_processors = processors;
    }
    if (cores > 0) {
        result.usable_physical_cores = cores;
    }
}

struct BitmapDeleter {
    void operator()(hwloc_bitmap_s* bitmap) const { hwloc_bitmap_free(bitmap); }
};
using UniqueBitmap = std::unique_ptr<hwloc_bitmap_s, BitmapDeleter>;

// The processors this process is bound to, as the threads it starts inherit them.
UniqueBitmap process_binding(hwloc_topology_t topology) {
    UniqueBitmap binding(hwloc_bitmap_alloc());
    if (!binding || hwloc_get_cpubind(topology, binding.get(), HWLOC_CPUBIND_PROCESS) != 0) {
        return nullptr;
    }
    return binding;
}

// from_xml empty: the running machine, bound as this process is; else the
// saved machine with `usable` (a list such as "0-3") as its binding.
Topology load(const std::string& from_xml, const std::string& usable) {
    hwloc_topology_t raw = nullptr;
    if (hwloc_topology_init(&raw) != 0) {
        return {};
    }
    UniqueTopology topology(raw);
    // The machine as it is, not the part of it this process is bound to.
    hwloc_topology_set_flags(raw, HWLOC_TOPOLOGY_FLAG_INCLUDE_DISALLOWED);
    if (!from_xml.empty() && hwloc_topology_set_xml(raw, from_xml.c_str()) != 0) {
        return {};
    }
    if (hwloc_topology_load(raw) != 0) {
        return {};
    }
    Topology result = describe(raw);
    UniqueBitmap binding;
    if (from_xml.empty()) {
        binding = process_binding(raw);
    } else if (!usable.empty()) {
        binding.reset(hwloc_bitmap_alloc());
        if (binding && hwloc_bitmap_list_sscanf(binding.get(), usable.c_str()) != 0) {
            binding.reset();
        }
    }
    if (binding) {
        count_usable(raw, binding.get(), result);
    }
    return result;
}

}  // namespace

Topology read_topology() { return load({}, {}); }

Topology read_topology_from_xml(const std::string& path, const std::string& usable) {
    return path.empty() ? Topology{} : load(path, usable);
}

}  // namespace quorlind::bench
