#pragma once

namespace quorlind::bench::platform {

bool stderr_is_terminal();

// Calls on_interrupt for every Ctrl-C. On POSIX it runs in a signal handler,
// so it must stay async-signal-safe.
void install_interrupt_handler(void (*on_interrupt)());

}  // namespace quorlind::bench::platform
