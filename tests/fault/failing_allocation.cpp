#include "failing_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> failing{false};

}  // namespace

namespace quorlind::testing {

void start_failing_allocations() noexcept { failing.store(true); }
void stop_failing_allocations() noexcept { failing.store(false); }

}  // namespace quorlind::testing

// The array and nothrow forms forward to these two.
void* operator new(std::size_t size) {
    if (failing.load()) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }

void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
