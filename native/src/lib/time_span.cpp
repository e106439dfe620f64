#include "lib/time_span.h"

#include <algorithm>
#include <limits>

namespace quorlind {

std::optional<ClockInstant> checked_add(ClockInstant instant, TimeSpan span) noexcept {
    std::uint64_t seconds = 0;
    if (__builtin_add_overflow(instant.seconds, span.seconds, &seconds)) {
        return std::nullopt;
    }
    std::uint32_t nanoseconds = instant.nanoseconds + span.nanoseconds;  // < 2e9, fits
    if (nanoseconds >= nanos_per_second) {
        nanoseconds -= nanos_per_second;
        if (__builtin_add_overflow(seconds, std::uint64_t{1}, &seconds)) {
            return std::nullopt;
        }
    }
    return ClockInstant{seconds, nanoseconds};
}

TimeSpan saturating_since(ClockInstant later, ClockInstant earlier) noexcept {
    if (earlier >= later) {
        return {};
    }
    std::uint64_t seconds = later.seconds - earlier.seconds;
    std::uint32_t nanoseconds = 0;
    if (later.nanoseconds >= earlier.nanoseconds) {
        nanoseconds = later.nanoseconds - earlier.nanoseconds;
    } else {
        seconds -= 1;
        nanoseconds = later.nanoseconds + nanos_per_second - earlier.nanoseconds;
    }
    return {seconds, nanoseconds};
}

double to_seconds(TimeSpan span) noexcept {
    return static_cast<double>(span.seconds) + static_cast<double>(span.nanoseconds) / 1e9;
}

std::uint64_t whole_nanoseconds(TimeSpan span) noexcept {
    std::uint64_t nanos = 0;
    if (__builtin_mul_overflow(span.seconds, std::uint64_t{nanos_per_second}, &nanos) ||
        __builtin_add_overflow(nanos, std::uint64_t{span.nanoseconds}, &nanos)) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return nanos;
}

std::string to_string(ClockInstant instant) {
    std::string nanos = std::to_string(instant.nanoseconds);
    nanos.insert(0, 9 - std::min<std::size_t>(nanos.size(), 9), '0');
    return std::to_string(instant.seconds) + "." + nanos + " s";
}

}  // namespace quorlind
