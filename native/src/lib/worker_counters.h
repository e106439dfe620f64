#pragma once

#include <atomic>
#include <cstdint>

namespace quorlind {

// One worker's published results. Each record fills a 64-byte block of its
// own, so workers adding to their counters never share a cache line.
struct alignas(64) WorkerCounters {
    std::atomic<std::uint64_t> warmup_ops{0};    // +8 per batch begun before warm_end
    std::atomic<std::uint64_t> measured_ops{0};  // +8 per batch begun at or after warm_end
    std::atomic<std::uint64_t> active_nanos{0};  // warm_end to leaving the loop; after join only
    std::atomic<std::uint64_t> checksum{0};      // last kernel result; after join only
};

static_assert(sizeof(WorkerCounters) == 64 && alignof(WorkerCounters) == 64);

}  // namespace quorlind
