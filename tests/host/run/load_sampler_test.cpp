// A real short run of every kind-2 worker with this platform's probe: the
// workers are found by name and their share is read, on Linux and under Wine.
#include "result/load_causes.h"
#include "run/sampled_run.h"

#include <gtest/gtest.h>

namespace quorlind::bench {
namespace {

TEST(LoadSamplerOnThisMachine, FindsTheWorkersOfARealRunAndReadsTheirShare) {
    const SampledRun run =
        run_sampled(short_config(QUORLIND_BENCHMARK_PER_CPU, 0.3, 2.5), [](const QuorlindProgressEvent&) {});
    ASSERT_EQ(run.summary.status, QUORLIND_STATUS_COMPLETED);
    const RunLoad& load = run.load;
    ASSERT_EQ(load.intervals.size(), run.samples.size());
    for (const auto& entry : load.availability) {
        if (entry.figure == "worker_cpu_share" || entry.figure == "other_processes_cpus") {
            EXPECT_TRUE(entry.available) << entry.figure << ": " << entry.reason;
        }
    }
    // Whatever else this machine runs, the workers get some of it.
    ASSERT_TRUE(load.measurement.worker_cpu_share);
    EXPECT_GT(*load.measurement.worker_cpu_share, 0.05);
    EXPECT_LE(*load.measurement.worker_cpu_share, 1.0);
    ASSERT_TRUE(load.measurement.other_processes_cpus);
    const auto per_processor_second =
        operations_per_processor_second(run.summary.total_operations, load.measurement.worker_cpu_seconds);
    ASSERT_TRUE(per_processor_second);
    EXPECT_GE(*per_processor_second * run.summary.workers, run.summary.ops_per_second * 0.9);
    EXPECT_TRUE(judge_disturbance(load).disturbed.has_value());
}

}  // namespace
}  // namespace quorlind::bench
