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
        if (!QueryPerformanceFrequency(&value) || value.QuadPart <= 0)
            return std::uint64_t{0};
        return static_cast<std::uint64_t>(value.QuadPart);
    }();
    return frequency;
}

}  // namespace

MonotonicReading monotonic_now() {
    const std::uint64_t frequency = counter_frequency();
    LARGE_INTEGER counter{};
    if (frequency == 0 || !QueryPerformanceCounter(&counter) || counter.QuadPart < 0)
        throw InternalFailure("the performance counter cannot be read");
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

    if (HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                              TIMER_ALL_ACCESS)) {
        LARGE_INTEGER due{};
        due.QuadPart = -static_cast<LONGLONG>(units);
        const bool waited = SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
                            WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
        CloseHandle(timer);
        if (waited)
            return;
    }
    // No high-resolution timer on this system: whole milliseconds, rounded up.
    std::uint64_t milliseconds = capped * 1000ULL + (nanoseconds + 999999u) / 1000000u;
    while (milliseconds > 0) {
        const DWORD chunk = milliseconds >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(milliseconds);
        Sleep(chunk);
        milliseconds -= chunk;
    }
}

}  // namespace quorlind::platform
