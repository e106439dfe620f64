#include "run/interrupt.h"

#include "run/console.h"

#include <atomic>
#include <cstdlib>
#include <thread>

namespace quorlind::bench {
namespace {

// Touched from a signal handler (POSIX) or a system thread (Windows): only
// lock-free atomics, quorlind_cancel (a single atomic store) and _Exit.
std::atomic<QuorlindRunHandle*> cancel_target{nullptr};
std::atomic<int> interrupts{0};
std::atomic<int> handlers_running{0};
std::atomic<int> exit_code_on_repeat{1};

static_assert(std::atomic<QuorlindRunHandle*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

void install_interrupt_handling(int second_interrupt_exit_code) {
    exit_code_on_repeat.store(second_interrupt_exit_code);
    interrupts.store(0);
    console::install_interrupt_handler(on_interrupt);
}

void on_interrupt() {
    if (interrupts.fetch_add(1) > 0) {
        std::_Exit(exit_code_on_repeat.load());
    }
    handlers_running.fetch_add(1);
    if (QuorlindRunHandle* handle = cancel_target.load()) {
        quorlind_cancel(handle);
    }
    handlers_running.fetch_sub(1);
}

bool interrupt_requested() { return interrupts.load() > 0; }

CancelOnInterrupt::CancelOnInterrupt(QuorlindRunHandle* handle) {
    cancel_target.store(handle);
    // Ctrl-C came before there was a run to cancel. Cancelling twice is harmless.
    if (interrupts.load() > 0) {
        quorlind_cancel(handle);
    }
}

CancelOnInterrupt::~CancelOnInterrupt() {
    cancel_target.store(nullptr);
    // A handler that already read the handle must finish before it is freed.
    while (handlers_running.load() != 0) {
        std::this_thread::yield();
    }
}

}  // namespace quorlind::bench
