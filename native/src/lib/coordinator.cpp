#include "lib/coordinator.h"

#include <algorithm>
#include <vector>

#include "lib/clock.h"
#include "lib/engine_admission.h"
#include "lib/init_failure_text.h"
#include "lib/run_results.h"
#include "lib/run_watch.h"
#include "lib/worker_context.h"
#include "lib/worker_set.h"

namespace quorlind {

namespace {

// The objects a run shares with its workers. Declared before the WorkerSet
// that joins the workers, they are released only after that join.
struct RunObjects {
    std::vector<std::shared_ptr<WorkerCounters>> counters;
    std::vector<const WorkerCounters*> counter_views;
    std::shared_ptr<TimingCell> timing = std::make_shared<TimingCell>();
    std::shared_ptr<StartGate> gate = std::make_shared<StartGate>();
    std::shared_ptr<StopFlag> stop = std::make_shared<StopFlag>();

    explicit RunObjects(std::uint64_t workers) {
        counters.reserve(workers);
        counter_views.reserve(workers);
        for (std::uint64_t i = 0; i < workers; ++i) {
            counters.push_back(std::make_shared<WorkerCounters>());
            counter_views.push_back(counters.back().get());
        }
    }
};

ProgressEvent final_event(const RunOutcome& outcome, ClockInstant start, TimeSpan warmup,
                          TimeSpan measurement) {
    ProgressEvent event{};
    event.workers = outcome.workers;
    event.phase_elapsed_seconds = outcome.measured_seconds;
    event.phase_seconds = to_seconds(measurement);
    event.operations = outcome.total_operations;
    if (outcome.status == status_completed) {
        event.phase = QUORLIND_PHASE_COMPLETED;
        event.progress = 1.0;
    } else {
        event.phase = outcome.status == status_cancelled ? QUORLIND_PHASE_CANCELLED : QUORLIND_PHASE_FAILED;
        const double run_seconds = to_seconds(warmup) + to_seconds(measurement);
        event.progress = std::min(to_seconds(saturating_since(now(), start)) / run_seconds, 1.0);
    }
    return event;
}

}  // namespace

RunOutcome run_benchmark(std::uint32_t benchmark, TimeSpan warmup, TimeSpan measurement,
                         const std::shared_ptr<CancelFlag>& cancel, const ProgressSink& progress,
                         const std::shared_ptr<RunEnvironment>& environment) {
    RunOutcome outcome;
    outcome.warmup_seconds = to_seconds(warmup);
    outcome.measurement_seconds = to_seconds(measurement);
    outcome.benchmark = benchmark;

    // A positive length under half a nanosecond rounds to zero on its way here.
    if (measurement.is_zero()) {
        outcome.message = "measurement duration must be positive";
        return outcome;
    }

    EngineAdmission admission = EngineAdmission::try_acquire();
    if (!admission) {
        outcome.message = "another benchmark is already running";
        return outcome;
    }

    std::uint64_t workers = 1;
    if (benchmark != QUORLIND_BENCHMARK_SINGLE) {
        Expected<std::uint64_t> cpus = environment->available_cpus();
        if (!cpus) {
            outcome.message = "cannot determine available CPUs: " + cpus.error();
            return outcome;
        }
        workers = std::max<std::uint64_t>(cpus.value(), 1);
    }
    outcome.workers = static_cast<std::uint32_t>(workers);

    if (cancel->is_requested()) {
        outcome.status = status_cancelled;
        outcome.message = "cancelled before starting";
        return outcome;
    }

    RunObjects objects(workers);
    auto [own_sender, receiver] = make_ready_queue();
    // Every return from here on leaves through worker_set: the stop flag goes
    // up before the gate opens, so a worker released early ends without measuring.
    WorkerSet worker_set(objects.stop, objects.gate);

    for (std::uint64_t index = 0; index < workers; ++index) {
        WorkerContext context{own_sender,
                              environment,
                              objects.gate,
                              objects.stop,
                              objects.timing,
                              cancel,
                              objects.counters[index],
                              index};
        Expected<platform::Thread> thread = environment->spawn_worker(index, std::move(context));
        if (!thread) {
            outcome.message = "cannot start worker: " + thread.error();
            return outcome;
        }
        worker_set.add(std::move(thread.value()));
    }
    own_sender.release();

    for (std::uint64_t reported = 0; reported < workers; ++reported) {
        std::optional<InitReport> received = receiver.receive();
        if (!received || received->failure) {
            outcome.message = "worker initialization failed: " + render_readiness_failure(received);
            return outcome;
        }
    }

    const ClockInstant start = now();
    const std::optional<Timing> timing = Timing::from_lengths(start, warmup, measurement);
    if (!timing) {
        outcome.message = "requested duration exceeds the monotonic clock range";
        return outcome;
    }
    objects.timing->store(*timing);
    objects.gate->open();

    const MeasurementPlan plan{*timing, warmup, measurement, outcome.workers};
    watch_measurement(plan, objects.counter_views, *cancel, progress, outcome.samples);

    objects.stop->raise();
    const bool worker_failed = worker_set.join_all();

    const RunTotals totals = sum_counters(objects.counter_views);
    outcome.total_operations = totals.total_operations;
    outcome.measured_seconds = totals.measured_seconds;
    outcome.checksum = totals.checksum;
    close_samples(outcome.samples, outcome.measured_seconds, outcome.total_operations);
    decide_verdict(outcome, worker_failed, cancel->is_requested());

    if (progress) {
        progress(final_event(outcome, start, warmup, measurement));
    }
    return outcome;
}

}  // namespace quorlind
