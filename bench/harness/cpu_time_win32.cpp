#include <windows.h>

#include "harness/cpu_time.h"

namespace quorlind::figures {

namespace {

// FILETIME counts 100 ns units.
double seconds(const FILETIME& value) {
    const auto units = (static_cast<unsigned long long>(value.dwHighDateTime) << 32) | value.dwLowDateTime;
    return static_cast<double>(units) * 1e-7;
}

}  // namespace

double calling_thread_cpu_seconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    return seconds(kernel) + seconds(user);
}

double process_cpu_seconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    return seconds(kernel) + seconds(user);
}

}  // namespace quorlind::figures
