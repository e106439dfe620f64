#include <pthread.h>
#include <sched.h>

#include "thread_probe.h"

namespace quorlind::testing {

std::string current_thread_name() {
    char name[64] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) {
        return {};
    }
    return name;
}

std::size_t current_thread_stack_bytes() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) {
        return 0;
    }
    std::size_t size = 0;
    pthread_attr_getstacksize(&attributes, &size);
    pthread_attr_destroy(&attributes);
    return size;
}

std::string current_thread_processors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) {
        return {};
    }
    std::string cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set)) {
            cpus += std::to_string(cpu) + " ";
        }
    }
    return cpus;
}

}  // namespace quorlind::testing
