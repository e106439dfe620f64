#pragma once

#include <cstdint>
#include <memory>

#include "lib/cancel_flag.h"
#include "lib/run_environment.h"
#include "lib/run_outcome.h"
#include "lib/time_span.h"

namespace quorlind {

// Performs one run from admission to verdict on the calling thread and
// returns its outcome; every foreseeable failure is reported inside it.
// Internal failures propagate, but only after every started worker has been
// joined and the engine released.
RunOutcome run_benchmark(std::uint32_t benchmark, TimeSpan warmup, TimeSpan measurement,
                         const std::shared_ptr<CancelFlag>& cancel, const ProgressSink& progress,
                         const std::shared_ptr<RunEnvironment>& environment);

}  // namespace quorlind
