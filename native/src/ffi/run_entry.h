#pragma once

#include <functional>
#include <memory>

#include "ffi/run_handle.h"
#include "lib/run_environment.h"

namespace quorlind {

// Makes the environment of one run; called inside the run's containment, so
// that even failing to make it leaves an outcome in the handle.
using EnvironmentFactory = std::function<std::shared_ptr<RunEnvironment>()>;

// quorlind_run behind the export, with the environment replaceable for tests.
// Stores an outcome in the handle whenever it claims it, so that a host that
// gets status 2 can always read a summary and a reason.
std::uint32_t run_entry(QuorlindRunHandle* handle, const QuorlindRunConfig* config,
                        QuorlindProgressCallback callback, void* user_data,
                        const EnvironmentFactory& make_environment);

// The message with every NUL byte replaced by a space.
std::string reason_text(const std::string& message);

}  // namespace quorlind
