#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "lib/time_span.h"

namespace quorlind {

// The run's three instants: start <= warm_end < end.
struct Timing {
    ClockInstant start;
    ClockInstant warm_end;  // start + warm-up: the first instant measured
    ClockInstant end;       // warm_end + measurement

    // start + warmup + measurement, or nothing when either sum leaves the
    // clock's range.
    static std::optional<Timing> from_lengths(ClockInstant start, TimeSpan warmup, TimeSpan measurement);

    friend bool operator==(const Timing&, const Timing&) = default;
};

// "Timing(start ..., warm_end ..., end ...)", for internal-failure texts.
std::string to_string(const Timing& timing);

// Write-once holder through which the workers receive the Timing. The
// coordinator stores before opening the start gate; workers read after it.
class TimingCell {
public:
    // A second store is an InternalFailure naming the rejected Timing.
    void store(const Timing& timing);
    std::optional<Timing> read() const noexcept;

private:
    std::atomic<bool> claimed_{false};
    std::atomic<bool> ready_{false};
    Timing timing_{};
};

}  // namespace quorlind
