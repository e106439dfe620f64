#include "lib/worker_loop.h"

#include <optional>

#include "common/internal_failure.h"
#include "lib/clock.h"
#include "lib/run_environment.h"

namespace quorlind {

void run_worker(WorkerContext context) {
    Expected<WorkloadState> built = context.environment->build_workload(context.index);

    // The report's fate is not examined: a coordinator that stopped listening
    // has already decided the run's outcome.
    context.ready.send(built ? InitReport::success() : InitReport::failed(built.error()));
    // Released at once, so a coordinator waiting for reports sees the queue
    // disconnect when a worker ends without reporting.
    context.ready.release();
    if (!built) {
        return;
    }

    context.gate->wait();
    if (context.stop->is_raised()) {
        return;
    }

    const std::optional<Timing> timing = context.timing->read();
    if (!timing) {
        throw InternalFailure("timing is read after the start gate opened but was never stored");
    }

    const detail::MeasuredWork work =
        detail::measure(built.value(), *timing, *context.stop, *context.cancel, *context.counters, &now);

    context.counters->active_nanos.store(
        whole_nanoseconds(saturating_since(work.finished, timing->warm_end)));
    context.counters->checksum.store(work.last_result);
}

}  // namespace quorlind
