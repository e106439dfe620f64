#pragma once

#include "result/load_causes.h"
#include "result/run_load.h"
#include "stats/stability.h"
#include "system/system_record.h"

#include <quorlind.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorlind::bench {

enum class ThreadMode { single, all, both };

// One run through the library: what was asked and what came back.
struct RunRecord {
    std::size_t index = 0;  // position in the order the runs ran
    QuorlindRunConfig config{};
    QuorlindRunSummary summary{};
    std::vector<QuorlindIntervalSample> samples;
    std::string reason;
    // Worked out from the samples once, when the result is made
    // (result_of_run), or read from the file.
    Stability stability;
    // What the operating system counted during the run; empty where nothing
    // was sampled (files before version 3).
    std::optional<RunLoad> load;
    // Worked out from the load and the samples, as the stability is.
    Disturbance disturbance;
    std::vector<LoadCause> causes;
};

// Everything one invocation learned: what was asked, every run in the order
// it ran, and where. The statistics are functions over it; the writers read
// it inside a Result (result/result.h).
struct ResultRecord {
    std::string tool_version;
    BuildInfo tool_build;
    ThreadMode threads = ThreadMode::single;
    std::uint64_t repeat = 1;  // as wide as a file may hold
    double warmup_seconds = 0.0;
    double measurement_seconds = 0.0;
    SystemRecord system;
    std::vector<RunRecord> runs;
    std::vector<std::string> notes;
};

// Cancelled part-way: its numbers cover only what ran.
inline bool is_partial(const RunRecord& run) { return run.summary.status == QUORLIND_STATUS_CANCELLED; }

// The rate over what a run measured, which the library gives only for a
// completed run; empty when it measured nothing.
inline std::optional<double> partial_rate(const RunRecord& run) {
    if (run.summary.measured_seconds > 0.0) {
        return static_cast<double>(run.summary.total_operations) / run.summary.measured_seconds;
    }
    return std::nullopt;
}

// All workers' operations over their processor time; empty without the load.
inline std::optional<double> operations_per_processor_second(const RunRecord& run) {
    return run.load ? operations_per_processor_second(run.summary.total_operations,
                                                      run.load->measurement.worker_cpu_seconds)
                    : std::nullopt;
}

// The run's disturbance and causes in one line, "disturbed: other processes
// used ..."; an unstable run that was not disturbed says no cause was seen.
// Empty without the load.
inline std::string load_text(const RunRecord& run) {
    if (!run.load) {
        return {};
    }
    std::string text = describe_load(run.disturbance, run.causes);
    if (run.causes.empty() && run.disturbance.disturbed == false &&
        run.stability.instability != Instability::none) {
        text += std::string("; ") + no_cause_text;
    }
    return text;
}

}  // namespace quorlind::bench
