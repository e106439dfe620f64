#include "run/console.h"

#include <csignal>
#include <ctime>
#include <initializer_list>

#include <unistd.h>

namespace quorlind::bench::console {
namespace {

void (*interrupt_callback)(int) = nullptr;

void handle_signal(int signal_number) {
    if (interrupt_callback != nullptr) {
        interrupt_callback(128 + signal_number);
    }
}

}  // namespace

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

void install_interrupt_handler(void (*on_interrupt)(int)) {
    interrupt_callback = on_interrupt;
    struct sigaction action {};
    action.sa_handler = handle_signal;
    sigemptyset(&action.sa_mask);
    // One handler at a time, so two signals arriving together are counted in turn.
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&action.sa_mask, signal_number);
    }
    action.sa_flags = SA_RESTART;
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal_number, &action, nullptr);
    }
}

// clock_gettime is async-signal-safe.
std::int64_t monotonic_nanos() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace quorlind::bench::console
