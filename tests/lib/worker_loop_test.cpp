#include <gtest/gtest.h>

#include <vector>

#include "fake_environment.h"
#include "lib/clock.h"
#include "lib/worker_loop.h"

namespace quorlind {
namespace {

using testing::FakeEnvironment;
using testing::kernel_result_after;

// The coordinator's side of a run, played by hand: shared objects, workers
// started through the environment, reports received, gate and flags driven
// by the test.
struct HandRun {
    std::shared_ptr<FakeEnvironment> environment = std::make_shared<FakeEnvironment>();
    std::shared_ptr<StartGate> gate = std::make_shared<StartGate>();
    std::shared_ptr<StopFlag> stop = std::make_shared<StopFlag>();
    std::shared_ptr<TimingCell> timing = std::make_shared<TimingCell>();
    std::shared_ptr<CancelFlag> cancel = std::make_shared<CancelFlag>();
    std::vector<std::shared_ptr<WorkerCounters>> counters;
    std::vector<platform::Thread> threads;
    std::pair<ReadySender, ReadyReceiver> queue = make_ready_queue();

    void start(std::uint64_t workers) {
        for (std::uint64_t i = 0; i < workers; ++i) {
            counters.push_back(std::make_shared<WorkerCounters>());
            WorkerContext context{queue.first, environment, gate, stop, timing, cancel, counters.back(), i};
            threads.push_back(std::move(environment->spawn_worker(i, std::move(context)).value()));
        }
        queue.first.release();
    }

    std::vector<std::optional<InitReport>> receive_all() {
        std::vector<std::optional<InitReport>> reports;
        for (std::size_t i = 0; i < threads.size(); ++i) {
            reports.push_back(queue.second.receive());
        }
        return reports;
    }

    void start_clock(TimeSpan warmup, TimeSpan measurement) {
        timing->store(*Timing::from_lengths(now(), warmup, measurement));
        gate->open();
    }

    std::vector<platform::ThreadEnd> join_all() {
        std::vector<platform::ThreadEnd> ends;
        for (auto& thread : threads) {
            ends.push_back(thread.join());
        }
        return ends;
    }
};

void expect_untouched(const WorkerCounters& counters) {
    EXPECT_EQ(counters.warmup_ops.load(), 0u);
    EXPECT_EQ(counters.measured_ops.load(), 0u);
    EXPECT_EQ(counters.active_nanos.load(), 0u);
    EXPECT_EQ(counters.checksum.load(), 0u);
}

constexpr TimeSpan milliseconds(std::uint32_t ms) { return {0, ms * 1000000u}; }

TEST(WorkerLoop, WorkersRunThroughWarmupAndMeasurementByHand) {
    HandRun run;
    run.start(3);
    for (const auto& report : run.receive_all()) {
        ASSERT_TRUE(report);
        EXPECT_FALSE(report->failure);
    }
    run.start_clock(milliseconds(80), milliseconds(120));
    for (auto end : run.join_all()) {
        EXPECT_EQ(end, platform::ThreadEnd::normal);
    }

    for (std::uint64_t i = 0; i < 3; ++i) {
        const WorkerCounters& c = *run.counters[i];
        EXPECT_GT(c.warmup_ops.load(), 0u);
        EXPECT_GT(c.measured_ops.load(), 0u);
        EXPECT_EQ(c.warmup_ops.load() % batch_size, 0u);
        EXPECT_EQ(c.measured_ops.load() % batch_size, 0u);
        // From warm_end to leaving the loop: at least the window, never absurd.
        EXPECT_GE(c.active_nanos.load(), 120000000u);
        EXPECT_LT(c.active_nanos.load(), 30000000000u);
        EXPECT_EQ(c.checksum.load(), kernel_result_after(i, c.warmup_ops.load() + c.measured_ops.load()));
    }
}

TEST(WorkerLoop, StopFlagBeforeTheGateEndsWorkersWithoutReadingTheTiming) {
    HandRun run;
    run.start(2);
    run.receive_all();
    run.stop->raise();
    run.gate->open();  // the timing cell stays empty: reading it would be abnormal
    for (auto end : run.join_all()) {
        EXPECT_EQ(end, platform::ThreadEnd::normal);
    }
    for (const auto& counters : run.counters) {
        expect_untouched(*counters);
    }
}

TEST(WorkerLoop, CancelAtTheGateRunsNoBatch) {
    HandRun run;
    run.start(2);
    run.receive_all();
    run.cancel->request();
    run.start_clock({10, 0}, {1, 0});
    for (auto end : run.join_all()) {
        EXPECT_EQ(end, platform::ThreadEnd::normal);
    }
    for (const auto& counters : run.counters) {
        expect_untouched(*counters);  // the final reading falls before warm_end
    }
}

TEST(WorkerLoop, ZeroWarmupCountsEveryBatchAsMeasured) {
    HandRun run;
    run.start(1);
    run.receive_all();
    run.start_clock({}, milliseconds(60));
    run.join_all();
    const WorkerCounters& c = *run.counters[0];
    EXPECT_EQ(c.warmup_ops.load(), 0u);
    EXPECT_GT(c.measured_ops.load(), 0u);
    EXPECT_EQ(c.checksum.load(), kernel_result_after(0, c.measured_ops.load()));
}

TEST(WorkerLoop, StopDuringWarmupLeavesMeasuredOpsAtZero) {
    HandRun run;
    run.start(1);
    run.receive_all();
    run.start_clock({30, 0}, {1, 0});
    // Wait for work rather than for a fixed time: a loaded machine may not
    // schedule the worker within any short sleep.
    for (int waited = 0; run.counters[0]->warmup_ops.load() == 0 && waited < 10000; ++waited) {
        sleep_for(milliseconds(1));
    }
    run.stop->raise();
    run.join_all();
    const WorkerCounters& c = *run.counters[0];
    EXPECT_GT(c.warmup_ops.load(), 0u);
    EXPECT_EQ(c.measured_ops.load(), 0u);
    EXPECT_EQ(c.active_nanos.load(), 0u);
}

TEST(WorkerLoop, BuildFailureTravelsInTheReportAndTheWorkerNeverWaits) {
    HandRun run;
    run.environment->fail_build = {1};
    run.environment->build_error = "no table for you";
    run.start(2);
    int failures = 0;
    for (const auto& report : run.receive_all()) {
        ASSERT_TRUE(report);
        if (report->failure) {
            ++failures;
            EXPECT_EQ(*report->failure, "no table for you");
        }
    }
    EXPECT_EQ(failures, 1);
    // Worker 1 has ended already; the gate is still closed.
    EXPECT_EQ(run.threads[1].join(), platform::ThreadEnd::normal);
    run.stop->raise();
    run.gate->open();
    EXPECT_EQ(run.threads[0].join(), platform::ThreadEnd::normal);
    for (const auto& counters : run.counters) {
        expect_untouched(*counters);
    }
}

TEST(WorkerLoop, InternalFailureInAWorkerIsAnAbnormalEndAtItsJoin) {
    HandRun run;
    run.environment->throw_after_run = {0};
    run.start(2);
    run.receive_all();
    run.start_clock({}, milliseconds(20));
    const auto ends = run.join_all();
    EXPECT_EQ(ends[0], platform::ThreadEnd::abnormal);
    EXPECT_EQ(ends[1], platform::ThreadEnd::normal);
}

// The measuring loop alone, with the clock's readings scripted, so batch
// counts are exact.
struct ScriptedClock {
    std::vector<ClockInstant> readings;
    std::size_t next = 0;
    ClockInstant operator()() { return readings[std::min(next++, readings.size() - 1)]; }
};

struct ScriptedMeasure {
    WorkloadState state;
    StopFlag stop;
    CancelFlag cancel;
    WorkerCounters counters;
    Timing timing{{100, 0}, {101, 0}, {102, 0}};

    explicit ScriptedMeasure(std::uint64_t seed) : state(WorkloadState::generate(seed).value()) {}

    detail::MeasuredWork run(std::vector<ClockInstant> readings) {
        return detail::measure(state, timing, stop, cancel, counters, ScriptedClock{std::move(readings)});
    }
};

TEST(WorkerMeasure, ChecksumsAfterOneAndTwoBatchesMatchTheKernel) {
    const ClockInstant measuring{101, 5};
    const ClockInstant past_end{102, 0};

    ScriptedMeasure one(0);
    EXPECT_EQ(one.run({measuring, past_end}).last_result, 0x070292832EC5C131u);
    EXPECT_EQ(one.counters.measured_ops.load(), 8u);

    ScriptedMeasure two(0);
    EXPECT_EQ(two.run({measuring, measuring, past_end}).last_result, 0xC09B3FA23162B565u);
    EXPECT_EQ(two.counters.measured_ops.load(), 16u);

    ScriptedMeasure other(1);
    EXPECT_EQ(other.run({measuring, past_end}).last_result, 0x58454E963F31C1F1u);
}

TEST(WorkerMeasure, BatchesBelongToThePhaseInWhichTheyStart) {
    ScriptedMeasure m(0);
    const ClockInstant one_ns_before_warm_end{100, 999999999};
    const ClockInstant at_warm_end{101, 0};
    const ClockInstant one_ns_before_end{101, 999999999};
    const auto work = m.run({one_ns_before_warm_end, at_warm_end, one_ns_before_end, {102, 0}, {102, 500}});
    EXPECT_EQ(m.counters.warmup_ops.load(), 8u);
    EXPECT_EQ(m.counters.measured_ops.load(), 16u);      // the last counted in full though it ends after end
    EXPECT_EQ(work.finished, (ClockInstant{102, 500}));  // read once more after the loop
}

TEST(WorkerMeasure, FlagsAreLookedAtBeforeEveryBatch) {
    ScriptedMeasure stopped(0);
    stopped.stop.raise();
    EXPECT_EQ(stopped.run({{101, 0}}).last_result, 0u);
    EXPECT_EQ(stopped.counters.measured_ops.load(), 0u);

    ScriptedMeasure cancelled(0);
    cancelled.cancel.request();
    EXPECT_EQ(cancelled.run({{101, 0}}).last_result, 0u);
    EXPECT_EQ(cancelled.counters.measured_ops.load(), 0u);
}

}  // namespace
}  // namespace quorlind
