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
                    logical += static_cast<unsigned>(
                        std::popcount(static_cast<std::uint64_t>(entry.Processor.GroupMask[group].Mask)));
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
    return topology;
}

}  // namespace quorlind::bench
