#include <gtest/gtest.h>

#include "lib/clock.h"

namespace quorlind {
namespace {

TEST(MonotonicClock, NeverGoesBackwards) {
    ClockInstant previous = now();
    for (int i = 0; i < 10000; ++i) {
        const ClockInstant next = now();
        ASSERT_GE(next, previous);
        ASSERT_LT(next.nanoseconds, nanos_per_second);
        previous = next;
    }
}

TEST(MonotonicClock, SleepLastsAtLeastWhatWasAsked) {
    for (const TimeSpan span : {TimeSpan{0, 2000000}, TimeSpan{0, 15000000}}) {
        const ClockInstant before = now();
        sleep_for(span);
        const TimeSpan slept = saturating_since(now(), before);
        EXPECT_GE(slept, span);
        EXPECT_LT(to_seconds(slept), 2.0);  // generous: shared machines stall
    }
    sleep_for({});  // a zero span only yields
}

}  // namespace
}  // namespace quorlind
