#pragma once

#include "lib/time_span.h"

namespace quorlind {

// The one monotonic clock that every timing decision of a run is made against.
ClockInstant now();

// Sleeps for `span`; a zero span only yields.
void sleep_for(TimeSpan span);

}  // namespace quorlind
