#include <windows.h>

#include "common/internal_failure.h"
#include "platform/platform.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace quorlind::platform {

namespace {

std::uint64_t counter_frequency() {
    // Fixed at boot, so it is read once.
    static const std::uint64_t frequency = [] {
        LARGE_INTEGER value{};
        if (!QueryPerformanceFrequency(&value) || value.QuadPart <= 0) {
            return std::uint64_t{0};
        }
        return static_cast<std::uint64_t>(value.QuadPart);
    }();
    return frequency;
}

// Waits `units` of 100 ns on a high-resolution waitable timer; false when
// the system has none or the wait fails.
bool wait_on_high_resolution_timer(std::uint64_t units) {
    HANDLE timer =
        CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (!timer) {
        return false;
    }
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(units);
    const bool waited = SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
                        WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
    CloseHandle(timer);
    return waited;
}

void sleep_milliseconds(std::uint64_t milliseconds) {
    while (milliseconds > 0) {
        const DWORD chunk = milliseconds >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(milliseconds);
        Sleep(chunk);
        milliseconds -= chunk;
    }
}

// 100 ns units from `earlier` to `later`, 0 if `later` is not after it.
std::uint64_t units_since(MonotonicReading earlier, MonotonicReading later) {
    __extension__ using Wide = unsigned __int128;
    const Wide from = Wide{earlier.seconds} * 1000000000u + earlier.nanoseconds;
    const Wide to = Wide{later.seconds} * 1000000000u + later.nanoseconds;
    if (to <= from) {
        return 0;
    }
    const Wide units = (to - from) / 100u;
    return units > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(units);
}

}  // namespace

MonotonicReading monotonic_now() {
    const std::uint64_t frequency = counter_frequency();
    LARGE_INTEGER counter{};
    if (frequency == 0 || !QueryPerformanceCounter(&counter) || counter.QuadPart < 0) {
        throw InternalFailure("the performance counter cannot be read");
    }
    // Whole seconds first, then the remainder scaled in 128 bits: exact, and
    // free of overflow for any counter value and frequency.
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    const std::uint64_t seconds = ticks / frequency;
    __extension__ using Wide = unsigned __int128;
    const Wide remainder = ticks % frequency;
    const auto nanoseconds = static_cast<std::uint32_t>(remainder * 1000000000u / frequency);
    return {seconds, nanoseconds};
}

void sleep_for(std::uint64_t seconds, std::uint32_t nanoseconds) {
    if (seconds == 0 && nanoseconds == 0) {
        SwitchToThread();
        return;
    }
    // Relative due times are negative, in units of 100 ns, rounded up so the
    // sleep is never shorter than asked.
    constexpr std::uint64_t max_seconds = 922337203685ULL;  // keeps 100 ns units in 63 bits
    const std::uint64_t capped = seconds < max_seconds ? seconds : max_seconds;
    const std::uint64_t units = capped * 10000000ULL + (nanoseconds + 99u) / 100u;

    const MonotonicReading began = monotonic_now();
    if (wait_on_high_resolution_timer(units)) {
        return;
    }
    // No high-resolution timer here, or a wait on it failed part-way: only
    // what is left, in whole milliseconds rounded up.
    const std::uint64_t waited = units_since(began, monotonic_now());
    const std::uint64_t remaining = waited < units ? units - waited : 0;
    sleep_milliseconds(remaining / 10000ULL + (remaining % 10000ULL != 0 ? 1 : 0));
}

}  // namespace quorlind::platform
