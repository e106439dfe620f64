#pragma once

#include <condition_variable>
#include <mutex>

namespace quorlind {

// Holds the workers until the coordinator releases them all at once. Opened
// once, never closed; its mutex also orders the coordinator's earlier stores
// (the stop flag, the Timing) before every worker's reads after the gate.
class StartGate {
public:
    void open();
    void wait();

private:
    std::mutex mutex_;
    std::condition_variable opened_changed_;
    bool opened_ = false;
};

}  // namespace quorlind
