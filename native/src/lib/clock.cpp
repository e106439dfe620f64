#include "lib/clock.h"

#include "platform/platform.h"

namespace quorlind {

ClockInstant now() {
    const platform::MonotonicReading reading = platform::monotonic_now();
    return {reading.seconds, reading.nanoseconds};
}

void sleep_for(TimeSpan span) { platform::sleep_for(span.seconds, span.nanoseconds); }

}  // namespace quorlind
