#pragma once

// The terminal the tool runs in: one implementation per operating system.
namespace quorlind::bench::console {

bool stderr_is_terminal();

// Calls on_interrupt for every Ctrl-C. On POSIX it runs in a signal handler,
// so it must stay async-signal-safe.
void install_interrupt_handler(void (*on_interrupt)());

}  // namespace quorlind::bench::console
