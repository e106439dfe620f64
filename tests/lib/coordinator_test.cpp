#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "../support/engine_probe.h"
#include "fake_environment.h"
#include "lib/clock.h"
#include "lib/coordinator.h"
#include "lib/engine_admission.h"

namespace quorlind {
namespace {

using testing::FakeEnvironment;

constexpr TimeSpan milliseconds(std::uint32_t ms) { return {0, ms * 1000000u}; }

struct CoordinatedRun {
    std::shared_ptr<FakeEnvironment> environment = std::make_shared<FakeEnvironment>();
    std::shared_ptr<CancelFlag> cancel = std::make_shared<CancelFlag>();
    std::vector<ProgressEvent> events;

    RunOutcome go(std::uint32_t benchmark, TimeSpan warmup = {}, TimeSpan measurement = milliseconds(50)) {
        return run_benchmark(
            benchmark, warmup, measurement, cancel,
            [this](const ProgressEvent& event) { events.push_back(event); }, environment);
    }

    // Every thread this run started has ended and the engine takes a new run.
    void expect_cleaned_up() {
        EXPECT_EQ(environment->live_threads.load(), 0);
        EXPECT_FALSE(testing::engine_busy());
    }
};

void expect_failed_before_measuring(const CoordinatedRun& run, const RunOutcome& outcome,
                                    const std::string& message) {
    EXPECT_EQ(outcome.status, status_failed);
    EXPECT_EQ(outcome.message, message);
    EXPECT_TRUE(run.events.empty()) << "no progress on a failure before the gate";
    EXPECT_TRUE(outcome.samples.empty());
    EXPECT_EQ(outcome.total_operations, 0u);
    for (const auto& counters : run.environment->counters) {
        EXPECT_EQ(counters->warmup_ops.load(), 0u);
        EXPECT_EQ(counters->measured_ops.load(), 0u);
    }
}

TEST(Coordinator, ZeroMeasurementIsRefusedWithoutTakingTheEngine) {
    CoordinatedRun run;
    const RunOutcome outcome = run.go(1, {}, {});
    EXPECT_EQ(outcome.message, "measurement duration must be positive");
    EXPECT_EQ(outcome.workers, 0u);
    run.expect_cleaned_up();
}

TEST(Coordinator, SecondRunWhileOneHoldsTheEngineIsRefused) {
    CoordinatedRun run;
    const EngineAdmission held = EngineAdmission::try_acquire();
    ASSERT_TRUE(held);
    const RunOutcome outcome = run.go(2);
    EXPECT_EQ(outcome.status, status_failed);
    EXPECT_EQ(outcome.message, "another benchmark is already running");
    EXPECT_EQ(outcome.workers, 0u);
    EXPECT_EQ(run.environment->cpus_calls.load(), 0);
    EXPECT_TRUE(testing::engine_busy()) << "the other run's admission is left alone";
}

TEST(Coordinator, SingleWorkerNeverAsksForTheProcessorCount) {
    CoordinatedRun run;
    run.environment->cpus_error = "no idea";
    const RunOutcome outcome = run.go(1);
    EXPECT_EQ(outcome.status, status_completed);
    EXPECT_EQ(outcome.workers, 1u);
    EXPECT_EQ(run.environment->cpus_calls.load(), 0);
    run.expect_cleaned_up();
}

TEST(Coordinator, ProcessorCountOfZeroFailsWithNoWorkers) {
    CoordinatedRun run;
    run.environment->cpus = 0;
    const RunOutcome outcome = run.go(2);
    expect_failed_before_measuring(run, outcome,
                                   "cannot determine available CPUs: the number of hardware threads is not "
                                   "known for the target platform");
    EXPECT_EQ(outcome.workers, 0u);
    run.expect_cleaned_up();
}

TEST(Coordinator, CancelledBeforeStartingStartsNoThread) {
    CoordinatedRun run;
    run.cancel->request();
    const RunOutcome outcome = run.go(2);
    EXPECT_EQ(outcome.status, status_cancelled);
    EXPECT_EQ(outcome.message, "cancelled before starting");
    EXPECT_EQ(outcome.workers, 3u);
    EXPECT_EQ(run.environment->spawned.load(), 0);
    EXPECT_TRUE(run.events.empty());
    run.expect_cleaned_up();
}

TEST(Coordinator, SpawnFailureAtEveryIndexJoinsTheWorkersAlreadyStarted) {
    for (std::uint64_t k = 0; k < 3; ++k) {
        CoordinatedRun run;
        run.environment->fail_spawn_at = k;
        const RunOutcome outcome = run.go(2);
        expect_failed_before_measuring(run, outcome,
                                       "cannot start worker: Resource temporarily unavailable (os error 11)");
        EXPECT_EQ(outcome.workers, 3u);
        EXPECT_EQ(run.environment->spawned.load(), static_cast<int>(k));
        run.expect_cleaned_up();
    }
}

TEST(Coordinator, BuildFailureOfAnyWorkerFailsTheRunWithItsText) {
    for (std::uint64_t k = 0; k < 3; ++k) {
        CoordinatedRun run;
        run.environment->fail_build = {k};
        run.environment->build_error =
            "memory allocation failed because the memory allocator returned an error";
        const RunOutcome outcome = run.go(2);
        expect_failed_before_measuring(
            run, outcome,
            "worker initialization failed: Ok(Err(\"memory allocation failed because the memory allocator "
            "returned an error\"))");
        EXPECT_EQ(outcome.workers, 3u);
        run.expect_cleaned_up();
    }
}

TEST(Coordinator, BuildFailureTextIsEscapedInTheMessage) {
    CoordinatedRun run;
    run.environment->fail_build = {1};
    run.environment->build_error = "bad \"quote\" \\ and\nnewline";
    const RunOutcome outcome = run.go(2);
    EXPECT_EQ(outcome.message, R"(worker initialization failed: Ok(Err("bad \"quote\" \\ and\nnewline")))");
    run.expect_cleaned_up();
}

TEST(Coordinator, WorkerEndingBeforeItReportsDisconnectsTheQueue) {
    CoordinatedRun run;
    run.environment->throw_in_build = {2};
    const RunOutcome outcome = run.go(2);
    expect_failed_before_measuring(run, outcome, "worker initialization failed: Err(RecvError)");
    run.expect_cleaned_up();
}

TEST(Coordinator, LengthsBeyondTheClockRangeFailAfterTheWorkersAreBuilt) {
    CoordinatedRun run;
    const TimeSpan huge{10000000000000000000ULL, 0};
    const RunOutcome outcome = run.go(2, huge, huge);
    expect_failed_before_measuring(run, outcome, "requested duration exceeds the monotonic clock range");
    EXPECT_EQ(run.environment->spawned.load(), 3);
    run.expect_cleaned_up();
}

TEST(Coordinator, WorkerFailingInternallyAfterMeasuringFailsTheRun) {
    CoordinatedRun run;
    run.environment->throw_after_run = {1};
    const RunOutcome outcome = run.go(2);
    EXPECT_EQ(outcome.status, status_failed);
    EXPECT_EQ(outcome.message, "a benchmark worker panicked");
    EXPECT_GT(outcome.total_operations, 0u);
    ASSERT_FALSE(run.events.empty());
    EXPECT_EQ(run.events.back().phase, QUORLIND_PHASE_FAILED);
    run.expect_cleaned_up();
}

TEST(Coordinator, InternalFailureInsideTheCoordinatorStillReleasesTheEngine) {
    CoordinatedRun run;
    run.environment->cpus_throws = true;
    EXPECT_ANY_THROW(run.go(2));
    run.expect_cleaned_up();
    CoordinatedRun next;
    EXPECT_EQ(next.go(1).status, status_completed);
}

TEST(Coordinator, CompletedRunReportsTotalsChecksumAndAFinalEvent) {
    CoordinatedRun run;
    const RunOutcome outcome = run.go(2, milliseconds(30), milliseconds(120));
    ASSERT_EQ(outcome.status, status_completed) << outcome.message;
    EXPECT_EQ(outcome.workers, 3u);
    EXPECT_EQ(outcome.message, "");

    std::uint64_t measured = 0, checksum = 0;
    for (std::uint64_t i = 0; i < 3; ++i) {
        const WorkerCounters& c = *run.environment->counters[i];
        measured += c.measured_ops.load();
        checksum ^= testing::kernel_result_after(i, c.warmup_ops.load() + c.measured_ops.load());
    }
    EXPECT_EQ(outcome.total_operations, measured);
    EXPECT_EQ(outcome.checksum, checksum);
    EXPECT_EQ(*outcome.ops_per_second, static_cast<double>(measured) / outcome.measured_seconds);
    EXPECT_GE(outcome.measured_seconds, 0.12);

    ASSERT_GE(run.events.size(), 2u);
    EXPECT_EQ(run.events.front().phase, QUORLIND_PHASE_WARMUP);
    const ProgressEvent& last = run.events.back();
    EXPECT_EQ(last.phase, QUORLIND_PHASE_COMPLETED);
    EXPECT_EQ(last.progress, 1.0);
    EXPECT_EQ(last.phase_elapsed_seconds, outcome.measured_seconds);
    EXPECT_EQ(last.phase_seconds, 0.12);
    EXPECT_EQ(last.operations, outcome.total_operations);
    EXPECT_EQ(last.workers, 3u);
    run.expect_cleaned_up();
}

TEST(Coordinator, CancelWhileWorkersBuildIsSeenOnlyAfterAllReported) {
    for (const TimeSpan warmup : {milliseconds(500), TimeSpan{}}) {
        CoordinatedRun run;
        std::atomic<int> built{0};
        int built_at_first_event = 0;
        // Worker 0 cancels as it builds; the others build only after that,
        // the last one slowly, so every report comes after the cancel.
        run.environment->during_build = [&run, &built](std::uint64_t index) {
            if (index == 0) {
                run.cancel->request();
            }
            while (!run.cancel->is_requested()) {
                sleep_for(milliseconds(1));
            }
            if (index == 2) {
                sleep_for(milliseconds(50));
            }
            ++built;
        };
        const RunOutcome outcome = run_benchmark(
            2, warmup, {5, 0}, run.cancel,
            [&](const ProgressEvent& event) {
                if (run.events.empty()) {
                    built_at_first_event = built.load();
                }
                run.events.push_back(event);
            },
            run.environment);

        EXPECT_EQ(built_at_first_event, 3) << "the gate opened before every worker reported";
        EXPECT_EQ(outcome.status, status_cancelled);
        EXPECT_EQ(outcome.message, "cancelled");
        EXPECT_FALSE(outcome.ops_per_second);
        EXPECT_EQ(outcome.total_operations, 0u);
        ASSERT_EQ(run.events.size(), 2u) << "one event from the loop's only pass, then the final one";
        EXPECT_EQ(run.events[0].phase, warmup.is_zero() ? QUORLIND_PHASE_MEASUREMENT : QUORLIND_PHASE_WARMUP);
        EXPECT_EQ(run.events[1].phase, QUORLIND_PHASE_CANCELLED);
        EXPECT_LT(run.events[1].progress, 1.0);
        run.expect_cleaned_up();
    }
}

}  // namespace
}  // namespace quorlind
