#include "ffi/duration.h"

#include <cmath>

namespace quorlind {

std::optional<TimeSpan> duration_from_seconds(double seconds) noexcept {
    constexpr double two_to_64 = 18446744073709551616.0;
    if (!std::isfinite(seconds) || seconds < 0.0 || seconds >= two_to_64)
        return std::nullopt;

    const double whole = std::floor(seconds);
    // The fraction is exact in binary; scaled to nanoseconds, the nearest
    // integer is taken with ties to even, independent of the rounding mode.
    const double scaled = (seconds - whole) * 1e9;
    const double below = std::floor(scaled);
    const double above_below = scaled - below;
    double nanos = below;
    if (above_below > 0.5 || (above_below == 0.5 && std::fmod(below, 2.0) != 0.0))
        nanos = below + 1.0;

    auto span_seconds = static_cast<std::uint64_t>(whole);
    auto span_nanos = static_cast<std::uint64_t>(nanos);
    if (span_nanos >= NANOS_PER_SECOND) {
        span_nanos -= NANOS_PER_SECOND;
        if (span_seconds == UINT64_MAX)
            return std::nullopt;
        span_seconds += 1;
    }
    return TimeSpan{span_seconds, static_cast<std::uint32_t>(span_nanos)};
}

}  // namespace quorlind
