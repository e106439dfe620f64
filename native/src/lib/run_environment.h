#pragma once

#include <cstdint>
#include <memory>

#include "common/expected.h"
#include "kernel/workload_state.h"
#include "platform/platform.h"

namespace quorlind {

struct WorkerContext;

// Where a run gets its processors, threads and workloads. Tests replace it to
// make each of these fail on purpose.
class RunEnvironment {
public:
    virtual ~RunEnvironment() = default;

    // At least 1, or an error text.
    virtual Expected<std::uint64_t> available_cpus() = 0;
    // Starts the worker body on a thread named "quorlind-<index>". On failure
    // the context is released without running.
    virtual Expected<platform::Thread> spawn_worker(std::uint64_t index, WorkerContext context) = 0;
    // Called by each worker on its own thread.
    virtual Expected<WorkloadState> build_workload(std::uint64_t index) = 0;
};

inline constexpr std::size_t worker_stack_bytes = std::size_t{2} * 1024 * 1024;
inline constexpr const char* unknown_cpu_count_message =
    "the number of hardware threads is not known for the target platform";

std::string worker_thread_name(std::uint64_t index);

// The processor count a system reported, as available_cpus gives it: a
// system that reports none does not know its count.
Expected<std::uint64_t> cpus_from_system_count(std::uint64_t count);

// The environment of a real run: the processors this process may use,
// operating-system threads with a 2 MiB stack, and the deterministic workload
// of each index. One per run.
class ProductionEnvironment : public RunEnvironment {
public:
    Expected<std::uint64_t> available_cpus() override;
    Expected<platform::Thread> spawn_worker(std::uint64_t index, WorkerContext context) override;
    Expected<WorkloadState> build_workload(std::uint64_t index) override;

private:
    // What available_cpus counted, over which the workers are then placed.
    // Only a run of one worker per processor asks, so a single worker is
    // never placed. Used on the coordinator's thread alone.
    platform::ProcessorSet processors_;
};

}  // namespace quorlind
