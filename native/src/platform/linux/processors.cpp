#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/platform.h"

namespace quorlind::platform {

namespace {

struct CpuSetDeleter {
    void operator()(cpu_set_t* set) const noexcept { CPU_FREE(set); }
};

// The kernel refuses (EINVAL) a set smaller than its own CPU mask; this many
// CPUs is beyond any kernel's limit, so the search ends.
constexpr int most_cpus_asked = 1 << 20;

// Processors in the calling thread's affinity mask, 0 if it cannot be read.
std::uint64_t affinity_count() {
    for (int cpus = CPU_SETSIZE; cpus <= most_cpus_asked; cpus *= 2) {
        const std::unique_ptr<cpu_set_t, CpuSetDeleter> set(CPU_ALLOC(cpus));
        if (!set) {
            return 0;
        }
        const std::size_t bytes = CPU_ALLOC_SIZE(cpus);
        CPU_ZERO_S(bytes, set.get());
        if (sched_getaffinity(0, bytes, set.get()) == 0) {
            return static_cast<std::uint64_t>(CPU_COUNT_S(bytes, set.get()));
        }
        if (errno != EINVAL) {
            return 0;
        }
    }
    return 0;
}

}  // namespace

// The calling thread's mask is the one the workers it starts inherit, and the
// one that taskset and container CPU limits narrow. Linux schedules a thread
// over its whole mask, so there are no groups to place workers in.
ProcessorSet available_processors() {
    if (const std::uint64_t count = affinity_count(); count > 0) {
        return {count, {}};
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return {online > 0 ? static_cast<std::uint64_t>(online) : 0, {}};
}

}  // namespace quorlind::platform
