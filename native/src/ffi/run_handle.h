#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "lib/cancel_flag.h"
#include "lib/run_outcome.h"

namespace quorlind {

// The "native benchmark panicked" outcome with its message and reason
// already allocated, and the defaults for the host's values.
RunOutcome contained_failure_outcome();

}  // namespace quorlind

// The opaque handle of the C interface. It serves exactly one run: `busy` is
// claimed by the first quorlind_run and never cleared, and the outcome, once
// stored, never changes.
struct QuorlindRunHandle {
    std::shared_ptr<quorlind::CancelFlag> cancel = std::make_shared<quorlind::CancelFlag>();
    std::mutex outcome_lock;  // held only to store or read the outcome
    std::optional<quorlind::RunOutcome> outcome;
    std::atomic<bool> busy{false};
    // Made with the handle, so that storing a contained failure needs no
    // memory: that failure may be the memory running out.
    quorlind::RunOutcome contained_failure = quorlind::contained_failure_outcome();
};
