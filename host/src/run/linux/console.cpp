#include "run/console.h"

#include <csignal>

#include <unistd.h>

namespace quorlind::bench::console {
namespace {

void (*interrupt_callback)() = nullptr;

void handle_sigint(int) {
    if (interrupt_callback != nullptr) {
        interrupt_callback();
    }
}

}  // namespace

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

void install_interrupt_handler(void (*on_interrupt)()) {
    interrupt_callback = on_interrupt;
    struct sigaction action {};
    action.sa_handler = handle_sigint;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace quorlind::bench::console
