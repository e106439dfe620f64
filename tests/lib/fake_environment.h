#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "lib/run_environment.h"
#include "lib/worker_context.h"

namespace quorlind::testing {

// A RunEnvironment whose every operation can be made to fail on purpose.
// Workers run on real threads through the production path; the environment
// counts them so a test can check that every started thread has ended.
class FakeEnvironment : public RunEnvironment {
public:
    std::uint64_t cpus = 3;  // 0 is refused as a system's 0 is
    std::optional<std::string> cpus_error;
    bool cpus_throws = false;                        // an internal failure, not an error
    std::optional<std::uint64_t> fail_spawn_at;      // spawn_worker fails for this index
    std::set<std::uint64_t> fail_build;              // build_workload gives an error text
    std::set<std::uint64_t> throw_in_build;          // the worker fails internally before reporting
    std::set<std::uint64_t> throw_after_run;         // the worker fails internally after measuring
    std::set<std::uint64_t> refuse_table_memory;     // the real generator, its table allocation failing
    std::optional<std::uint64_t> throw_in_spawn_at;  // an internal failure with this many workers started
    std::string build_error = "injected build failure";
    // Called on the worker's own thread as its build begins.
    std::function<void(std::uint64_t index)> during_build = [](std::uint64_t) {
    };

    std::atomic<int> cpus_calls{0};
    std::atomic<int> spawned{0};
    std::atomic<int> live_threads{0};

    // What the workers of the last run published, for checks after it.
    std::vector<std::shared_ptr<WorkerCounters>> counters;

    Expected<std::uint64_t> available_cpus() override;
    Expected<platform::Thread> spawn_worker(std::uint64_t index, WorkerContext context) override;
    Expected<WorkloadState> build_workload(std::uint64_t index) override;
};

// A WordTable allocator that never obtains storage.
std::unique_ptr<std::uint64_t[]> refusing_allocator(std::size_t words);

// The kernel's result after `calls` calls on the state of `seed`.
std::uint64_t kernel_result_after(std::uint64_t seed, std::uint64_t calls);

}  // namespace quorlind::testing
