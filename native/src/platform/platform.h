#pragma once

// The operating-system layer: a monotonic clock, a relative sleep, the
// processor count and named threads whose join tells a normal end from an
// abnormal one. linux/ and win32/ implement it; CMake picks one.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/expected.h"

namespace quorlind::platform {

struct MonotonicReading {
    std::uint64_t seconds;
    std::uint32_t nanoseconds;  // below 1000000000
};

// Thread-safe; readings of different threads are comparable. A counter that
// cannot be read is an InternalFailure.
MonotonicReading monotonic_now();

// Relative sleep with sub-millisecond resolution where the system allows it.
// A zero length only yields the processor.
void sleep_for(std::uint64_t seconds, std::uint32_t nanoseconds);

// Processors this process may run on; 0 if unknown. Linux counts the
// calling thread's affinity mask, which the threads it starts inherit, as
// nproc does, so taskset and container CPU limits are respected; where the
// mask cannot be read, the processors online. Windows counts the machine's
// logical processors as GetSystemInfo reports them, regardless of affinity.
std::uint64_t logical_processor_count();

enum class ThreadEnd { normal, abnormal };

// Join handle of a thread started by start_thread. Move-only; a handle that
// is destroyed while still joinable joins first, so no thread is ever left
// running unobserved.
class Thread {
public:
    Thread() noexcept;
    Thread(Thread&&) noexcept;
    Thread& operator=(Thread&&) noexcept;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();

    bool joinable() const noexcept;
    // Waits without time limit. An exception that escaped the thread's body
    // makes the end abnormal. A failing wait is an InternalFailure.
    ThreadEnd join();

    // The system's handle, defined by each platform.
    struct Native;
    struct NativeDeleter {
        void operator()(Native* native) const noexcept;
    };
    using NativePointer = std::unique_ptr<Native, NativeDeleter>;

private:
    friend Expected<Thread> start_thread(const std::string&, std::size_t, std::function<void()>);
    explicit Thread(NativePointer native) noexcept;
    NativePointer native_;
};

// Starts `body` on a new thread named `name` (as far as the system shows
// names) with a stack of `stack_bytes`. On failure the body is destroyed
// without running and the error reads "<system message> (os error <code>)".
Expected<Thread> start_thread(const std::string& name, std::size_t stack_bytes, std::function<void()> body);

// A system error code of this platform (errno, GetLastError) as
// "<system message> (os error <code>)", the form in which system errors
// travel in messages.
std::string os_error_text(long long code);

}  // namespace quorlind::platform
