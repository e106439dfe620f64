#pragma once

#include <atomic>

namespace quorlind {

// A run's cancellation request: set only by the host, never cleared, read by
// the coordinator and every worker. Single atomic loads and stores, no lock.
class CancelFlag {
public:
    void request() noexcept { requested_.store(true); }
    // Relaxed: the flag carries no data, and a pass or batch that misses it sees it on the next.
    bool is_requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> requested_{false};
};

}  // namespace quorlind
