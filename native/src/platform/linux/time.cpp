#include <cerrno>
#include <limits>
#include <ctime>
#include <sched.h>

#include "common/internal_failure.h"
#include "platform/platform.h"

namespace quorlind::platform {

MonotonicReading monotonic_now() {
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) {
        throw InternalFailure("the monotonic clock cannot be read");
    }
    return {static_cast<std::uint64_t>(now.tv_sec), static_cast<std::uint32_t>(now.tv_nsec)};
}

void sleep_for(std::uint64_t seconds, std::uint32_t nanoseconds) {
    if (seconds == 0 && nanoseconds == 0) {
        sched_yield();
        return;
    }
    timespec remaining{};
    constexpr std::uint64_t max_seconds =
        static_cast<std::uint64_t>(std::numeric_limits<decltype(remaining.tv_sec)>::max());
    remaining.tv_sec = static_cast<decltype(remaining.tv_sec)>(seconds < max_seconds ? seconds : max_seconds);
    remaining.tv_nsec = static_cast<long>(nanoseconds);
    // A signal delivered to this thread must not cut the sleep short.
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &remaining, &remaining) == EINTR) {
    }
}

}  // namespace quorlind::platform
