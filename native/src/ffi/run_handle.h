#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "lib/cancel_flag.h"
#include "lib/run_outcome.h"

// The opaque handle of the C interface. It serves exactly one run: `busy` is
// claimed by the first quorlind_run and never cleared, and the outcome, once
// stored, never changes.
struct QuorlindRunHandle {
    std::shared_ptr<quorlind::CancelFlag> cancel = std::make_shared<quorlind::CancelFlag>();
    std::mutex outcome_lock;  // held only to store or read the outcome
    std::optional<quorlind::RunOutcome> outcome;
    std::atomic<bool> busy{false};
};
