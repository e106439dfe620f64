// A real short run of every kind-2 worker with this platform's probe: the
// workers are found by name and their share is read, on Linux and under Wine.
#include "run/load_causes.h"
#include "run/load_sampler.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quorlind::bench {
namespace {

struct SampledRun {
    LoadSampler sampler{make_load_probe()};
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

void forward(const QuorlindProgressEvent* event, void* user_data) {
    auto& run = *static_cast<SampledRun*>(user_data);
    run.sampler.on_progress(
        *event, std::chrono::duration<double>(std::chrono::steady_clock::now() - run.start).count());
}

TEST(LoadSamplerOnThisMachine, FindsTheWorkersOfARealRunAndReadsTheirShare) {
    QuorlindRunConfig config{};
    quorlind_default_config(&config);
    config.benchmark = QUORLIND_BENCHMARK_PER_CPU;
    config.warmup_seconds = 0.3;
    config.measurement_seconds = 2.5;
    QuorlindRunHandle* handle = quorlind_create();
    ASSERT_NE(handle, nullptr);
    SampledRun run;
    quorlind_run(handle, &config, forward, &run);
    QuorlindRunSummary summary{};
    ASSERT_EQ(quorlind_result(handle, &summary), 1);
    std::vector<QuorlindIntervalSample> samples(summary.sample_count);
    for (std::uint64_t i = 0; i < summary.sample_count; ++i) {
        quorlind_sample(handle, i, &samples[i]);
    }
    quorlind_free(handle);
    ASSERT_EQ(summary.status, QUORLIND_STATUS_COMPLETED);

    const RunLoad load = run.sampler.figures(samples);
    ASSERT_EQ(load.intervals.size(), samples.size());
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
        operations_per_processor_second(summary.total_operations, load.measurement.worker_cpu_seconds);
    ASSERT_TRUE(per_processor_second);
    EXPECT_GE(*per_processor_second * summary.workers, summary.ops_per_second * 0.9);
    EXPECT_TRUE(judge_disturbance(load).disturbed.has_value());
}

}  // namespace
}  // namespace quorlind::bench
