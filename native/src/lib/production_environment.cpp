#include <utility>

#include "lib/run_environment.h"
#include "lib/worker_context.h"
#include "lib/worker_loop.h"

namespace quorlind {

std::string worker_thread_name(std::uint64_t index) { return "quorlind-" + std::to_string(index); }

Expected<std::uint64_t> cpus_from_system_count(std::uint64_t count) {
    if (count == 0) {
        return Expected<std::uint64_t>::failure(unknown_cpu_count_message);
    }
    return count;
}

Expected<std::uint64_t> ProductionEnvironment::available_cpus() {
    processors_ = platform::available_processors();
    return cpus_from_system_count(processors_.count);
}

Expected<platform::Thread> ProductionEnvironment::spawn_worker(std::uint64_t index, WorkerContext context) {
    // No priority, and no affinity beyond the processor group where the
    // platform must choose one: workers run wherever the system puts them.
    return platform::start_thread(
        worker_thread_name(index), worker_stack_bytes,
        [context = std::move(context)]() mutable { run_worker(std::move(context)); },
        platform::worker_placement(processors_, index));
}

Expected<WorkloadState> ProductionEnvironment::build_workload(std::uint64_t index) {
    return WorkloadState::generate(index);
}

}  // namespace quorlind
