#include "run/interrupt.h"

#include "run/console.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <thread>

namespace quorlind::bench {
namespace {

// Interrupts this close to the first are the same request.
constexpr std::int64_t together_nanos = 500'000'000;

// Touched from a signal handler (POSIX) or a system thread (Windows): only
// lock-free atomics, the console's clock, quorlind_cancel (a single atomic
// store) and _Exit.
std::atomic<QuorlindRunHandle*> cancel_target{nullptr};
std::atomic<int> first_exit_code{0};
std::atomic<std::int64_t> first_at_nanos{0};
std::atomic<int> handlers_running{0};

static_assert(std::atomic<QuorlindRunHandle*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

}  // namespace

void install_interrupt_handling() {
    first_exit_code.store(0);
    first_at_nanos.store(0);
    console::install_interrupt_handler(on_interrupt);
}

void on_interrupt(int exit_code) {
    const std::int64_t now = console::monotonic_nanos();
    int expected = 0;
    if (!first_exit_code.compare_exchange_strong(expected, exit_code)) {
        // The first one's time may not be stored yet: then this one came with it.
        const std::int64_t first = first_at_nanos.load();
        if (first != 0 && now - first > together_nanos) {
            // Every run completed before the first interrupt is in the files
            // already (the series writes them as it goes).
            std::_Exit(exit_code);
        }
        return;
    }
    first_at_nanos.store(now != 0 ? now : 1);
    handlers_running.fetch_add(1);
    if (QuorlindRunHandle* handle = cancel_target.load()) {
        quorlind_cancel(handle);
    }
    handlers_running.fetch_sub(1);
}

bool interrupt_requested() { return first_exit_code.load() != 0; }

int interrupt_exit_code() { return first_exit_code.load(); }

CancelOnInterrupt::CancelOnInterrupt(QuorlindRunHandle* handle) {
    cancel_target.store(handle);
    // The interrupt came before there was a run to cancel. Cancelling twice is harmless.
    if (interrupt_requested()) {
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
