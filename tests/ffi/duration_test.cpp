#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ffi/duration.h"

namespace quorlind {
namespace {

TimeSpan converted(double seconds) {
    const auto span = duration_from_seconds(seconds);
    EXPECT_TRUE(span) << seconds;
    return span.value_or(TimeSpan{});
}

TEST(Duration, ExactDecimalsBecomeExactNanoseconds) {
    EXPECT_EQ(converted(0.1), (TimeSpan{0, 100000000}));
    EXPECT_EQ(converted(120.0), (TimeSpan{120, 0}));
    EXPECT_EQ(converted(2.75), (TimeSpan{2, 750000000}));
}

TEST(Duration, HalfNanosecondsRoundToEven) {
    EXPECT_EQ(converted(5e-10), (TimeSpan{0, 0}));
    EXPECT_EQ(converted(1.5e-9), (TimeSpan{0, 2}));
    EXPECT_EQ(converted(2.5e-9), (TimeSpan{0, 2}));
    EXPECT_EQ(converted(3.5e-9), (TimeSpan{0, 4}));
}

TEST(Duration, NearlyWholeSecondsCarry) {
    EXPECT_EQ(converted(0.9999999999), (TimeSpan{1, 0}));
    EXPECT_EQ(converted(6.9999999999), (TimeSpan{7, 0}));
}

TEST(Duration, ZeroAndTinyValues) {
    EXPECT_EQ(converted(0.0), (TimeSpan{0, 0}));
    EXPECT_EQ(converted(-0.0), (TimeSpan{0, 0}));
    EXPECT_EQ(converted(1e-12), (TimeSpan{0, 0}));
}

TEST(Duration, RefusesWhatNoSpanCanHold) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (double bad : {-1e-300, -1.0, std::nan(""), inf, -inf, 18446744073709551616.0, 1e30})
        EXPECT_FALSE(duration_from_seconds(bad)) << bad;
    const double largest = std::nextafter(18446744073709551616.0, 0.0);
    EXPECT_EQ(converted(largest).seconds, 18446744073709549568ULL);
    EXPECT_EQ(converted(1e19), (TimeSpan{10000000000000000000ULL, 0}));
}

}  // namespace
}  // namespace quorlind
