#pragma once

#include <cstdint>

// The terminal the tool runs in: one implementation per operating system.
namespace quorlind::bench::console {

bool stderr_is_terminal();

// Calls on_interrupt for every Ctrl-C, SIGTERM and SIGHUP (on Windows: Ctrl-C,
// Ctrl-Break, the console closed, log-off or shut-down), with the exit code
// it stands for: 128 plus the signal's number. On POSIX it runs in a signal
// handler, so it must stay async-signal-safe.
void install_interrupt_handler(void (*on_interrupt)(int exit_code));

// A steady clock that a signal handler may read; never 0 in practice.
std::int64_t monotonic_nanos();

}  // namespace quorlind::bench::console
