#include <sys/resource.h>

#include "harness/cpu_time.h"

namespace quorlind::figures {

namespace {

double used_seconds(int who) {
    rusage usage{};
    if (getrusage(who, &usage) != 0) {
        return 0.0;
    }
    const auto seconds = [](const timeval& value) {
        return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

double calling_thread_cpu_seconds() { return used_seconds(RUSAGE_THREAD); }
double process_cpu_seconds() { return used_seconds(RUSAGE_SELF); }

}  // namespace quorlind::figures
