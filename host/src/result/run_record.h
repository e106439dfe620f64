#pragma once

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

}  // namespace quorlind::bench
