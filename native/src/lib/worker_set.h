#pragma once

#include <memory>
#include <vector>

#include "lib/start_gate.h"
#include "lib/stop_flag.h"
#include "platform/platform.h"

namespace quorlind {

// The coordinator's guard over its started workers. However the coordinator
// is left, destroying the set raises the stop flag, opens the start gate (a
// worker still held there could never be joined otherwise) and joins, in
// index order, every worker not yet joined, so no worker outlives its run.
class WorkerSet {
public:
    WorkerSet(std::shared_ptr<StopFlag> stop, std::shared_ptr<StartGate> gate)
        : stop_(std::move(stop)), gate_(std::move(gate)) {}
    WorkerSet(const WorkerSet&) = delete;
    WorkerSet& operator=(const WorkerSet&) = delete;
    ~WorkerSet();

    void add(platform::Thread thread) { threads_.push_back(std::move(thread)); }
    std::size_t size() const noexcept { return threads_.size(); }

    // Joins every worker in index order; true if any ended abnormally.
    bool join_all();

private:
    std::shared_ptr<StopFlag> stop_;
    std::shared_ptr<StartGate> gate_;
    std::vector<platform::Thread> threads_;
    std::size_t joined_ = 0;
};

}  // namespace quorlind
