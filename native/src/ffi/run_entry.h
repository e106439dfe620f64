#pragma once

#include <memory>

#include "ffi/run_handle.h"
#include "lib/run_environment.h"
#include "lib/time_span.h"

namespace quorlind {

// quorlind_run behind the export, with the environment replaceable for tests.
std::uint32_t run_entry(QuorlindRunHandle* handle, const QuorlindRunConfig* config,
                        QuorlindProgressCallback callback, void* user_data,
                        std::shared_ptr<RunEnvironment> environment);

// Outcome of a configuration refused before anything ran; null when the
// configuration is valid, with the converted lengths in `warmup` and
// `measurement`.
std::optional<RunOutcome> validate_config(const QuorlindRunConfig* config, TimeSpan& warmup,
                                          TimeSpan& measurement);

// The message with every NUL byte replaced by a space.
std::string reason_text(const std::string& message);

}  // namespace quorlind
