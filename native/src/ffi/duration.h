#pragma once

#include <optional>

#include "lib/time_span.h"

namespace quorlind {

// Host seconds to a span: the nanoseconds nearest to the double's exact
// binary value, ties to even, carried into the seconds at 1e9. The decision
// is made in integer arithmetic, so no rounding happens before it. Nothing
// for negative values, NaN, infinities and anything from 2^64 seconds up;
// negative zero is zero.
std::optional<TimeSpan> duration_from_seconds(double seconds) noexcept;

}  // namespace quorlind
