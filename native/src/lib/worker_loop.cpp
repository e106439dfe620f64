#include "lib/worker_loop.h"

#include <optional>

#include "common/internal_failure.h"
#include "kernel/kernel.h"
#include "lib/clock.h"
#include "lib/run_environment.h"

namespace quorlind {

namespace {

struct MeasuredWork {
    std::uint64_t last_result = 0;
    ClockInstant finished{};
};

// Per batch: one clock read, two flag loads, eight kernel calls, one atomic
// add. Nothing else belongs here: no allocation, no lock, no system call.
MeasuredWork measure(WorkloadState& state, const Timing& timing, const StopFlag& stop,
                     const CancelFlag& cancel, WorkerCounters& counters) {
    MeasuredWork work;
    for (;;) {
        const ClockInstant t = now();
        if (stop.is_raised() || cancel.is_requested() || t >= timing.end)
            break;
        std::atomic<std::uint64_t>& counter = t < timing.warm_end ? counters.warmup_ops : counters.measured_ops;
        for (std::uint64_t call = 0; call < BATCH_SIZE; ++call)
            work.last_result = run_kernel(state);
        counter.fetch_add(BATCH_SIZE, std::memory_order_relaxed);
    }
    work.finished = now();
    return work;
}

}  // namespace

void run_worker(WorkerContext context) {
    Expected<WorkloadState> built = context.environment->build_workload(context.index);

    // The report's fate is not examined: a coordinator that stopped listening
    // has already decided the run's outcome.
    context.ready.send(built ? InitReport::success() : InitReport::failed(built.error()));
    // Released at once, so a coordinator waiting for reports sees the queue
    // disconnect when a worker ends without reporting.
    context.ready.release();
    if (!built)
        return;

    context.gate->wait();
    if (context.stop->is_raised())
        return;

    const std::optional<Timing> timing = context.timing->read();
    if (!timing)
        throw InternalFailure("timing is read after the start gate opened but was never stored");

    const MeasuredWork work = measure(built.value(), *timing, *context.stop, *context.cancel, *context.counters);

    context.counters->active_nanos.store(whole_nanoseconds(saturating_since(work.finished, timing->warm_end)));
    context.counters->checksum.store(work.last_result);
}

}  // namespace quorlind
