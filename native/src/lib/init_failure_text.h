#pragma once

#include <optional>
#include <string>

#include "lib/ready_queue.h"

namespace quorlind {

// The text after "worker initialization failed: " for what a receive gave:
// Ok(Err("<escaped error>")) for a failure report, Err(RecvError) for a
// disconnected queue.
std::string render_readiness_failure(const std::optional<InitReport>& received);

// The error text in double quotes, with backslashes, quotes and control
// characters escaped so the message stays one printable line.
std::string quote_escaped(const std::string& text);

}  // namespace quorlind
