#include "fake_environment.h"

#include <stdexcept>

#include "kernel/kernel.h"
#include "lib/worker_loop.h"

namespace quorlind::testing {

Expected<std::uint64_t> FakeEnvironment::available_cpus() {
    ++cpus_calls;
    if (cpus_throws) {
        throw std::runtime_error("injected internal failure");
    }
    if (cpus_error) {
        return Expected<std::uint64_t>::failure(*cpus_error);
    }
    return cpus_from_system_count(cpus);
}

Expected<platform::Thread> FakeEnvironment::spawn_worker(std::uint64_t index, WorkerContext context) {
    if (fail_spawn_at && *fail_spawn_at == index) {
        return Expected<platform::Thread>::failure("Resource temporarily unavailable (os error 11)");
    }
    if (throw_in_spawn_at && *throw_in_spawn_at == index) {
        throw std::runtime_error("injected internal failure while starting a worker");
    }
    ++spawned;
    counters.push_back(context.counters);
    const bool fail_afterwards = throw_after_run.count(index) > 0;
    ++live_threads;
    auto thread = platform::start_thread(worker_thread_name(index), worker_stack_bytes,
                                         [this, fail_afterwards, context = std::move(context)]() mutable {
                                             struct LiveGuard {
                                                 std::atomic<int>& live;
                                                 ~LiveGuard() { --live; }
                                             } guard{live_threads};
                                             run_worker(std::move(context));
                                             if (fail_afterwards) {
                                                 throw std::runtime_error("injected failure after measuring");
                                             }
                                         });
    if (!thread) {
        --live_threads;
    }
    return thread;
}

Expected<WorkloadState> FakeEnvironment::build_workload(std::uint64_t index) {
    during_build(index);
    if (throw_in_build.count(index)) {
        throw std::runtime_error("injected failure while building");
    }
    if (fail_build.count(index)) {
        return Expected<WorkloadState>::failure(build_error);
    }
    if (refuse_table_memory.count(index)) {
        return WorkloadState::generate(index, &refusing_allocator);
    }
    return WorkloadState::generate(index);
}

std::unique_ptr<std::uint64_t[]> refusing_allocator(std::size_t) { return nullptr; }

std::uint64_t kernel_result_after(std::uint64_t seed, std::uint64_t calls) {
    WorkloadState state = WorkloadState::generate(seed).value();
    std::uint64_t result = 0;
    for (std::uint64_t i = 0; i < calls; ++i) {
        result = run_kernel(state);
    }
    return result;
}

}  // namespace quorlind::testing
