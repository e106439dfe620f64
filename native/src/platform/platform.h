#pragma once

// The operating-system layer: a monotonic clock, a relative sleep, the
// processors and where workers go among them, and named threads whose join
// tells a normal end from an abnormal one. linux/ and win32/ implement it;
// CMake picks one.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// A processor group as Windows keeps them: its active logical processors
// and which of the group's (at most 64) they are, one bit each.
struct ProcessorGroup {
    std::uint32_t processors = 0;
    std::uint64_t mask = 0;
};

// The processors that a run of one worker per processor spreads over. Read in
// one go, so that the count and the workers' places agree.
struct ProcessorSet {
    std::uint64_t count = 0;  // 0 if unknown
    // In group order, where threads must be put into their group by hand:
    // Windows machines of more than one group. Empty everywhere else.
    std::vector<ProcessorGroup> groups;
};

// Thread-safe. Linux counts the calling thread's affinity mask, which the
// threads it starts inherit, as nproc does, so taskset and container CPU
// limits are respected; where the mask cannot be read, the processors online.
// Windows with one processor group (up to 64 logical processors) counts them
// as GetSystemInfo reports them, regardless of affinity. With more groups,
// GetSystemInfo would see only the calling thread's group, so it counts every
// active logical processor of all groups (GetActiveProcessorCount with
// ALL_PROCESSOR_GROUPS), again regardless of affinity or job limits, and
// lists the groups.
ProcessorSet available_processors();

// available_processors().count.
std::uint64_t logical_processor_count();

// Where a new thread is put before its body runs. The default sets nothing:
// the thread runs wherever the system starts it.
struct ThreadPlacement {
    bool placed = false;
    std::uint16_t group = 0;
    std::uint64_t processors = 0;  // the group's processors it may use
};

// Where worker `index` of a run over `processors` goes. Where there are groups
// to choose from, workers fill each group's processors in group order, since
// Windows would otherwise keep every thread in its process's primary group.
// Elsewhere nothing is placed.
ThreadPlacement worker_placement(const ProcessorSet& processors, std::uint64_t index);

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
    friend Expected<Thread> start_thread(const std::string&, std::size_t, std::function<void()>,
                                         ThreadPlacement);
    explicit Thread(NativePointer native) noexcept;
    NativePointer native_;
};

// Starts `body` on a new thread named `name` (as far as the system shows
// names) with a stack of `stack_bytes`, put where `placement` says before the
// body runs (Linux has no groups and ignores it). A placement the system
// refuses fails the start. On failure the body is destroyed without running
// and the error reads "<system message> (os error <code>)".
Expected<Thread> start_thread(const std::string& name, std::size_t stack_bytes, std::function<void()> body,
                              ThreadPlacement placement = {});

// A system error code of this platform (errno, GetLastError) as
// "<system message> (os error <code>)", the form in which system errors
// travel in messages.
std::string os_error_text(long long code);

}  // namespace quorlind::platform
