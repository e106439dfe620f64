#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>
#include <windows.h>

#include "system/topology.h"

namespace quorlind::bench {
namespace {

void count_cache(std::optional<CacheLevel>& level, const CACHE_RELATIONSHIP& cache) {
    if (!level) {
        level = CacheLevel{};
    }
    level->size_bytes = std::max<std::uint64_t>(level->size_bytes, cache.CacheSize);
    ++level->count;
}

std::optional<unsigned> known(unsigned count) {
    return count > 0 ? std::optional<unsigned>(count) : std::nullopt;
}

// The process's affinity mask in group 0; empty where the process may run in
// other groups, where Windows has no single mask to give.
std::optional<std::uint64_t> process_affinity() {
    if (GetActiveProcessorGroupCount() > 1) {
        USHORT group = 0;
        USHORT group_count = 1;
        if (!GetProcessGroupAffinity(GetCurrentProcess(), &group_count, &group) || group != 0) {
            return std::nullopt;
        }
    }
    DWORD_PTR process_mask = 0;
    DWORD_PTR system_mask = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) || process_mask == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(process_mask);
}

}  // namespace

Topology read_topology() {
    DWORD length = 0;
    GetLogicalProcessorInformationEx(RelationAll, nullptr, &length);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) {
        return {};
    }
    std::vector<unsigned char> buffer(length);
    auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
    if (!GetLogicalProcessorInformationEx(RelationAll, first, &length)) {
        return {};
    }
    Topology topology;
    const std::optional<std::uint64_t> affinity = process_affinity();
    unsigned usable_cores = 0;
    unsigned packages = 0;
    unsigned cores = 0;
    unsigned logical = 0;
    unsigned nodes = 0;
    bool smt = false;
    // Records differ in size; each states its own.
    for (DWORD offset = 0; offset < length;) {
        const auto& entry =
            *reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data() + offset);
        if (entry.Size == 0 || entry.Size > length - offset) {
            break;
        }
        switch (entry.Relationship) {
            case RelationProcessorPackage:
                ++packages;
                break;
            case RelationProcessorCore:
                ++cores;
                smt = smt || (entry.Processor.Flags & LTP_PC_SMT) != 0;
                for (WORD group = 0; group < entry.Processor.GroupCount; ++group) {
                    const GROUP_AFFINITY& mask = entry.Processor.GroupMask[group];
                    logical += static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(mask.Mask)));
                    if (affinity && mask.Group == 0 && (mask.Mask & *affinity) != 0) {
                        ++usable_cores;
                    }
                }
                break;
            case RelationNumaNode:
                ++nodes;
                break;
            case RelationCache: {
                const CACHE_RELATIONSHIP& cache = entry.Cache;
                if (cache.Type == CacheInstruction || cache.CacheSize == 0) {
                    break;
                }
                if (cache.Level == 1) {
                    count_cache(topology.l1d, cache);
                } else if (cache.Level == 2) {
                    count_cache(topology.l2, cache);
                } else if (cache.Level == 3) {
                    count_cache(topology.l3, cache);
                }
                break;
            }
            default:
                break;
        }
        offset += entry.Size;
    }
    topology.packages = known(packages);
    topology.physical_cores = known(cores);
    topology.logical_processors = known(logical);
    topology.numa_nodes = known(nodes);
    if (cores > 0) {
        topology.smt = smt;
    }
    topology.processor_groups = known(GetActiveProcessorGroupCount());
    if (affinity) {
        topology.usable_logical_processors = known(static_cast<unsigned>(std::popcount(*affinity)));
        topology.usable_physical_cores = known(usable_cores);
    }
    return topology;
}

}  // namespace quorlind::bench
