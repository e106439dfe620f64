#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "quorlind.h"

namespace quorlind {

enum RunStatus : std::uint32_t {
    status_completed = QUORLIND_STATUS_COMPLETED,
    status_cancelled = QUORLIND_STATUS_CANCELLED,
    status_failed = QUORLIND_STATUS_FAILED,
};

using IntervalSample = QuorlindIntervalSample;
using ProgressEvent = QuorlindProgressEvent;

// The engine's outlet for progress, called on the coordinator's thread.
using ProgressSink = std::function<void(const ProgressEvent&)>;

// Everything a run leaves behind, whatever its result.
struct RunOutcome {
    std::optional<double> ops_per_second;     // status 0 only
    std::optional<double> variation_percent;  // status 0 with at least two samples
    std::string message;                      // empty for a completed run
    std::vector<IntervalSample> samples;
    double warmup_seconds = 0.0;
    double measurement_seconds = 0.0;
    double measured_seconds = 0.0;
    std::uint64_t total_operations = 0;
    std::uint64_t checksum = 0;
    std::uint32_t benchmark = QUORLIND_BENCHMARK_SINGLE;
    std::uint32_t status = status_failed;
    std::uint32_t workers = 0;
    bool unstable = false;
    std::string reason;  // message with NUL bytes as spaces; set at the C boundary
};

}  // namespace quorlind
