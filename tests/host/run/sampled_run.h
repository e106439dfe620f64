#pragma once

#include "run/load_sampler.h"

#include <quorlind.h>

#include <chrono>
#include <vector>

namespace quorlind::bench {

struct SampledRun {
    QuorlindRunSummary summary{};
    std::vector<QuorlindIntervalSample> samples;
    RunLoad load;
};

// Runs `config` through the C interface with the sampler on its progress
// events, and `also` after each, on the thread the library calls back on.
template <class Also>
SampledRun run_sampled(const QuorlindRunConfig& config, Also also) {
    struct Context {
        LoadSampler sampler{make_load_probe()};
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        Also& also;
    } context{.also = also};
    const auto forward = [](const QuorlindProgressEvent* event, void* user_data) {
        auto& c = *static_cast<Context*>(user_data);
        c.sampler.on_progress(
            *event, std::chrono::duration<double>(std::chrono::steady_clock::now() - c.start).count());
        c.also(*event);
    };
    SampledRun run;
    QuorlindRunHandle* handle = quorlind_create();
    if (handle == nullptr) {
        return run;
    }
    quorlind_run(handle, &config, forward, &context);
    if (quorlind_result(handle, &run.summary) == 1) {
        run.samples.resize(run.summary.sample_count);
        for (std::uint64_t i = 0; i < run.summary.sample_count; ++i) {
            quorlind_sample(handle, i, &run.samples[i]);
        }
    }
    quorlind_free(handle);
    run.load = context.sampler.figures(run.samples);
    return run;
}

inline QuorlindRunConfig short_config(std::uint32_t benchmark, double warmup_seconds,
                                      double measurement_seconds) {
    QuorlindRunConfig config{};
    quorlind_default_config(&config);
    config.benchmark = benchmark;
    config.warmup_seconds = warmup_seconds;
    config.measurement_seconds = measurement_seconds;
    return config;
}

}  // namespace quorlind::bench
