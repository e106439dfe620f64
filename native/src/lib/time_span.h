#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace quorlind {

inline constexpr std::uint32_t nanos_per_second = 1000000000;

// A length of time in exact whole nanoseconds, split so that lengths up to
// 2^64 seconds fit.
struct TimeSpan {
    std::uint64_t seconds = 0;
    std::uint32_t nanoseconds = 0;  // below nanos_per_second

    bool is_zero() const noexcept { return seconds == 0 && nanoseconds == 0; }
    // NOLINTNEXTLINE(modernize-use-nullptr): clang 14 mistakes the defaulted comparison's 0 for a pointer
    friend constexpr auto operator<=>(const TimeSpan&, const TimeSpan&) = default;
};

// A reading of the monotonic clock since its origin. Only compared and
// subtracted; never shown to the host.
struct ClockInstant {
    std::uint64_t seconds = 0;
    std::uint32_t nanoseconds = 0;  // below nanos_per_second

    // NOLINTNEXTLINE(modernize-use-nullptr): as above
    friend constexpr auto operator<=>(const ClockInstant&, const ClockInstant&) = default;
};

// instant + span, or nothing when the seconds would overflow.
std::optional<ClockInstant> checked_add(ClockInstant instant, TimeSpan span) noexcept;

// The span from `earlier` to `later`; zero when `earlier` is not before `later`.
TimeSpan saturating_since(ClockInstant later, ClockInstant earlier) noexcept;

double to_seconds(TimeSpan span) noexcept;

// seconds * 1e9 + nanoseconds, clamped to 2^64 - 1.
std::uint64_t whole_nanoseconds(TimeSpan span) noexcept;

// "<seconds>.<nine digits> s", for internal-failure texts.
std::string to_string(ClockInstant instant);

}  // namespace quorlind
