// A real run disturbed on purpose: the worker and three busy child processes
// share one processor for the middle of the window. Three, so that the drop
// stands out even where this machine's other work already takes most of that
// processor.
#include "run/load_causes.h"
#include "run/load_sampler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;

constexpr int busy_children = 3;

struct DisturbedRun {
    LoadSampler sampler{make_load_probe()};
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    cpu_set_t worker_processor{};
    cpu_set_t everywhere{};
    bool unpinned = false;
    pid_t children[busy_children] = {-1, -1, -1};
};

double monotonic_seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The worker was started on the pinned processor; the watch, on this
// thread, then moves off it so that the busy children do not delay its
// events. From 1 s into the measurement the children spin for 1.9 s on the
// worker's processor.
void on_progress(const QuorlindProgressEvent* event, void* user_data) {
    auto& run = *static_cast<DisturbedRun*>(user_data);
    if (!run.unpinned) {
        run.unpinned = true;
        sched_setaffinity(0, sizeof(run.everywhere), &run.everywhere);
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - run.start;
    run.sampler.on_progress(*event, wall.count());
    if (event->phase == QUORLIND_PHASE_MEASUREMENT && event->phase_elapsed_seconds >= 1.0 &&
        run.children[0] < 0) {
        for (pid_t& child : run.children) {
            child = fork();
            if (child == 0) {
                // Only system calls in the child of a threaded process.
                sched_setaffinity(0, sizeof(run.worker_processor), &run.worker_processor);
                const double until = monotonic_seconds() + 1.9;
                while (monotonic_seconds() < until) {
                }
                _exit(0);
            }
        }
    }
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
    QuorlindRunConfig config{};
    quorlind_default_config(&config);
    config.benchmark = QUORLIND_BENCHMARK_SINGLE;
    config.warmup_seconds = 0.3;
    config.measurement_seconds = 4.0;
    QuorlindRunHandle* handle = quorlind_create();
    ASSERT_NE(handle, nullptr);
    DisturbedRun run;
    run.worker_processor = pin.processor();
    run.everywhere = pin.saved();
    quorlind_run(handle, &config, on_progress, &run);
    for (const pid_t child : run.children) {
        ASSERT_GT(child, 0);
        int status = 0;
        waitpid(child, &status, 0);
    }
    QuorlindRunSummary summary{};
    ASSERT_EQ(quorlind_result(handle, &summary), 1);
    std::vector<QuorlindIntervalSample> samples(summary.sample_count);
    for (std::uint64_t i = 0; i < summary.sample_count; ++i) {
        quorlind_sample(handle, i, &samples[i]);
    }
    quorlind_free(handle);
    ASSERT_EQ(summary.status, QUORLIND_STATUS_COMPLETED);
    ASSERT_GE(samples.size(), 4u);

    const RunLoad load = run.sampler.figures(samples);
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
