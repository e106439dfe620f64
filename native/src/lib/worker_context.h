#pragma once

#include <cstdint>
#include <memory>

#include "lib/cancel_flag.h"
#include "lib/ready_queue.h"
#include "lib/start_gate.h"
#include "lib/stop_flag.h"
#include "lib/timing.h"
#include "lib/worker_counters.h"

namespace quorlind {

class RunEnvironment;

// Everything one worker is given; the worker owns these references for its
// whole life and releases them when it ends.
struct WorkerContext {
    ReadySender ready;
    std::shared_ptr<RunEnvironment> environment;
    std::shared_ptr<StartGate> gate;
    std::shared_ptr<StopFlag> stop;
    std::shared_ptr<TimingCell> timing;
    std::shared_ptr<CancelFlag> cancel;
    std::shared_ptr<WorkerCounters> counters;
    std::uint64_t index = 0;
};

}  // namespace quorlind
