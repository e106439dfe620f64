// A real run disturbed on purpose: the worker and three busy child processes
// share one processor for the middle of the window. Three, so that the drop
// stands out even where this machine's other work already takes most of that
// processor.
#include "result/load_causes.h"
#include "run/sampled_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;

constexpr int busy_children = 3;

double monotonic_seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class PinnedToOneProcessor {
public:
    PinnedToOneProcessor() {
        CPU_ZERO(&saved_);
        sched_getaffinity(0, sizeof(saved_), &saved_);
        CPU_ZERO(&one_);
        CPU_SET(sched_getcpu(), &one_);
        pinned_ = sched_setaffinity(0, sizeof(one_), &one_) == 0;
    }
    ~PinnedToOneProcessor() { sched_setaffinity(0, sizeof(saved_), &saved_); }
    PinnedToOneProcessor(const PinnedToOneProcessor&) = delete;
    PinnedToOneProcessor& operator=(const PinnedToOneProcessor&) = delete;
    bool pinned() const { return pinned_; }
    const cpu_set_t& processor() const { return one_; }
    const cpu_set_t& saved() const { return saved_; }

private:
    cpu_set_t saved_;
    cpu_set_t one_;
    bool pinned_ = false;
};

TEST(LoadSamplerOnThisMachine, BusyProcessesOnTheWorkersProcessorAreNamedForTheirIntervals) {
    PinnedToOneProcessor pin;
    ASSERT_TRUE(pin.pinned());
    bool unpinned = false;
    pid_t children[busy_children] = {-1, -1, -1};
    // The worker is started on the pinned processor; the watch, on this
    // thread, then moves off it so that the busy children do not delay its
    // events. From 1 s into the measurement they spin for 1.9 s on the
    // worker's processor.
    const SampledRun run = run_sampled(
        short_config(QUORLIND_BENCHMARK_SINGLE, 0.3, 4.0), [&](const QuorlindProgressEvent& event) {
            if (!unpinned) {
                unpinned = true;
                sched_setaffinity(0, sizeof(pin.saved()), &pin.saved());
            }
            if (event.phase != QUORLIND_PHASE_MEASUREMENT || event.phase_elapsed_seconds < 1.0 ||
                children[0] >= 0) {
                return;
            }
            for (pid_t& child : children) {
                child = fork();
                if (child == 0) {
                    // Only system calls in the child of a threaded process.
                    sched_setaffinity(0, sizeof(pin.processor()), &pin.processor());
                    const double until = monotonic_seconds() + 1.9;
                    while (monotonic_seconds() < until) {
                    }
                    _exit(0);
                }
            }
        });
    for (const pid_t child : children) {
        ASSERT_GT(child, 0);
        int status = 0;
        waitpid(child, &status, 0);
    }
    ASSERT_EQ(run.summary.status, QUORLIND_STATUS_COMPLETED);
    ASSERT_GE(run.samples.size(), 4u);

    const RunLoad& load = run.load;
    const auto& samples = run.samples;
    const auto& summary = run.summary;
    const auto& quiet_first = load.intervals.front();
    const auto& disturbed = load.intervals[1];
    const auto& quiet_last = load.intervals.back();
    ASSERT_TRUE(quiet_first.worker_cpu_share && disturbed.worker_cpu_share && quiet_last.worker_cpu_share);
    const double quiet = std::max(*quiet_first.worker_cpu_share, *quiet_last.worker_cpu_share);
    // Shared with three busy processes the worker gets about a quarter; the
    // bounds leave room for whatever else this machine runs meanwhile.
    EXPECT_LT(*disturbed.worker_cpu_share, 0.8 * quiet)
        << "quiet " << quiet << ", disturbed " << *disturbed.worker_cpu_share;
    ASSERT_TRUE(disturbed.other_processes_cpus);
    EXPECT_GE(*disturbed.other_processes_cpus, 1.0 / 3.0);
    ASSERT_TRUE(disturbed.involuntary_switches);
    EXPECT_GT(*disturbed.involuntary_switches, 0u);
    ASSERT_TRUE(load.measurement.worker_cpu_seconds);
    EXPECT_GT(*operations_per_processor_second(summary.total_operations, load.measurement.worker_cpu_seconds),
              summary.ops_per_second);

    const auto causes = name_causes(load, samples, 1);
    ASSERT_FALSE(causes.empty());
    EXPECT_STREQ(cause_kind_name(causes.front().kind), "other_processes");
    EXPECT_THAT(causes.front().intervals, ::testing::Contains(1u));
    EXPECT_THAT(describe_load(judge_disturbance(load), causes), HasSubstr("other processes used"));
}

}  // namespace
}  // namespace quorlind::bench
