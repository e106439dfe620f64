#pragma once

#include "environment_notes.hpp"
#include "run_record.hpp"

namespace quorlind::bench::platform {

bool stderr_is_terminal();

// Processor model, logical processors and operating system; the library
// fields are left for the caller.
SystemDescription describe_system();

EnvironmentFacts read_environment_facts();

// Calls on_interrupt for every Ctrl-C. On POSIX it runs in a signal handler,
// so it must stay async-signal-safe.
void install_interrupt_handler(void (*on_interrupt)());

} // namespace quorlind::bench::platform
