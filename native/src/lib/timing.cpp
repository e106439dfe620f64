#include "lib/timing.h"

#include "common/internal_failure.h"

namespace quorlind {

std::optional<Timing> Timing::from_lengths(ClockInstant start, TimeSpan warmup, TimeSpan measurement) {
    const auto warm_end = checked_add(start, warmup);
    if (!warm_end) {
        return std::nullopt;
    }
    const auto end = checked_add(*warm_end, measurement);
    if (!end) {
        return std::nullopt;
    }
    return Timing{start, *warm_end, *end};
}

std::string to_string(const Timing& timing) {
    return "Timing(start " + to_string(timing.start) + ", warm_end " + to_string(timing.warm_end) + ", end " +
           to_string(timing.end) + ")";
}

void TimingCell::store(const Timing& timing) {
    if (claimed_.exchange(true)) {
        throw InternalFailure("timing is initialized exactly once: " + to_string(timing));
    }
    timing_ = timing;
    ready_.store(true, std::memory_order_release);
}

std::optional<Timing> TimingCell::read() const noexcept {
    if (!ready_.load(std::memory_order_acquire)) {
        return std::nullopt;
    }
    return timing_;
}

}  // namespace quorlind
