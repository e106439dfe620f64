#include "run/series.h"

#include "run/interrupt.h"
#include "run/load_sampler.h"

#include <chrono>
#include <string>
#include <memory>

namespace quorlind::bench {
namespace {

struct HandleDeleter {
    void operator()(QuorlindRunHandle* handle) const { quorlind_free(handle); }
};
using UniqueHandle = std::unique_ptr<QuorlindRunHandle, HandleDeleter>;

struct ProgressContext {
    ProgressReporter& reporter;
    LoadSampler& sampler;
    std::chrono::steady_clock::time_point start;
    bool busy_noted = false;
};

void forward_progress(const QuorlindProgressEvent* event, void* user_data) {
    auto& context = *static_cast<ProgressContext*>(user_data);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - context.start;
    // Read before reporting, so the reading lies as close to the event as it can.
    context.sampler.on_progress(*event, elapsed.count());
    if (!context.busy_noted && context.sampler.busy_note()) {
        context.busy_noted = true;
        context.reporter.note(*context.sampler.busy_note());
    }
    context.reporter.on_event(*event, elapsed.count());
}

void fail_without_outcome(RunRecord& record, const char* reason) {
    record.summary = {};
    record.summary.abi_version = QUORLIND_ABI_VERSION;
    record.summary.status = QUORLIND_STATUS_FAILED;
    record.summary.benchmark = record.config.benchmark;
    record.summary.warmup_seconds = record.config.warmup_seconds;
    record.summary.measurement_seconds = record.config.measurement_seconds;
    record.reason = reason;
}

}  // namespace

void measure_run(RunRecord& record, ProgressReporter& progress) {
    UniqueHandle handle(quorlind_create());
    if (!handle) {
        fail_without_outcome(record, "the library could not create a run handle");
        return;
    }
    // Made before the run, so that where a thread's name cannot be read the
    // workers are the threads that appear after it.
    LoadSampler sampler(make_load_probe());
    ProgressContext context{progress, sampler, std::chrono::steady_clock::now()};
    {
        CancelOnInterrupt cancel_on_interrupt(handle.get());
        quorlind_run(handle.get(), &record.config, forward_progress, &context);
    }
    if (quorlind_result(handle.get(), &record.summary) != 1) {
        fail_without_outcome(record, "the library reported no outcome for the run");
        return;
    }
    record.samples.resize(record.summary.sample_count);
    for (std::uint64_t i = 0; i < record.summary.sample_count; ++i) {
        if (quorlind_sample(handle.get(), i, &record.samples[i]) != 1) {
            record.samples.resize(i);
            break;
        }
    }
    if (!sampler.readings().empty()) {
        record.load = sampler.figures(record.samples);
    }
    const char* reason = quorlind_reason(handle.get());
    record.reason = reason != nullptr ? reason : "";
}

void run_series(ResultRecord& result, const std::vector<QuorlindRunConfig>& configs, ProgressStyle style,
                std::ostream& progress_out, const std::function<void(const ResultRecord&)>& after_run) {
    for (std::size_t i = 0; i < configs.size(); ++i) {
        // A Ctrl-C between runs ends the series; before the first, the first
        // run is still made, cancelled at once, so the result says what happened.
        if (i > 0 && interrupt_requested()) {
            break;
        }
        RunRecord run;
        run.index = i;
        run.config = configs[i];
        std::string label;
        if (configs.size() > 1) {
            label = "run " + std::to_string(i + 1) + " of " + std::to_string(configs.size());
        }
        ProgressReporter progress(style, progress_out,
                                  RunDurations{run.config.warmup_seconds, run.config.measurement_seconds},
                                  std::move(label));
        measure_run(run, progress);
        result.runs.push_back(std::move(run));
        if (result.runs.back().summary.status == QUORLIND_STATUS_CANCELLED) {
            break;
        }
        if (after_run && i + 1 < configs.size() && !interrupt_requested()) {
            after_run(result);
        }
    }
}

}  // namespace quorlind::bench
