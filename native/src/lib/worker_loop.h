#pragma once

#include "lib/worker_context.h"

namespace quorlind {

inline constexpr std::uint64_t BATCH_SIZE = 8;

// The body of one worker thread: build, report, wait at the gate, run the
// kernel in batches until stop, cancel or end, then publish active time and
// checksum. Internal failures propagate to the thread's entry, whose join then
// reports an abnormal end.
void run_worker(WorkerContext context);

}  // namespace quorlind
