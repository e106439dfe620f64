#pragma once

#include <atomic>

namespace quorlind {

// Raised by the coordinator to end the workers; never cleared, new per run.
class StopFlag {
public:
    void raise() noexcept { raised_.store(true); }
    // Relaxed: the flag carries no data (the gate and the join order what
    // does), and a batch that misses it sees it on the next.
    bool is_raised() const noexcept { return raised_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> raised_{false};
};

}  // namespace quorlind
