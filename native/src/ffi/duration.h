#pragma once

#include <optional>

#include "lib/time_span.h"

namespace quorlind {

// Host seconds to an exact span: nanoseconds rounded half to even, carried
// into the seconds at 1e9. Nothing for negative values, NaN, infinities and
// anything from 2^64 seconds up; negative zero is zero.
std::optional<TimeSpan> duration_from_seconds(double seconds) noexcept;

}  // namespace quorlind
