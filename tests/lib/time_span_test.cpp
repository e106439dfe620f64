#include <gtest/gtest.h>

#include <limits>

#include "lib/time_span.h"
#include "lib/timing.h"

namespace quorlind {
namespace {

constexpr std::uint64_t max_u64 = std::numeric_limits<std::uint64_t>::max();

TEST(ClockArithmetic, AddingCarriesNanosecondsIntoSeconds) {
    const auto sum = checked_add({5, 1}, {0, 999999999});
    ASSERT_TRUE(sum);
    EXPECT_EQ(*sum, (ClockInstant{6, 0}));

    const auto plain = checked_add({5, 100}, {2, 200});
    EXPECT_EQ(*plain, (ClockInstant{7, 300}));
}

TEST(ClockArithmetic, AddingFailsInsteadOfWrapping) {
    EXPECT_FALSE(checked_add({max_u64, 0}, {1, 0}));
    EXPECT_FALSE(checked_add({1, 0}, {max_u64, 0}));
    // Only the carry overflows here.
    EXPECT_FALSE(checked_add({max_u64, 999999999}, {0, 1}));
    EXPECT_EQ(*checked_add({max_u64 - 1, 999999999}, {0, 1}), (ClockInstant{max_u64, 0}));
}

TEST(ClockArithmetic, SinceSaturatesAtZero) {
    const ClockInstant a{10, 500};
    EXPECT_TRUE(saturating_since(a, a).is_zero());
    EXPECT_TRUE(saturating_since(a, {10, 501}).is_zero());
    EXPECT_TRUE(saturating_since(a, {11, 0}).is_zero());
    EXPECT_EQ(saturating_since({12, 100}, {10, 200}), (TimeSpan{1, 999999900}));
    EXPECT_EQ(saturating_since({12, 300}, {10, 200}), (TimeSpan{2, 100}));
}

TEST(ClockArithmetic, InstantsCompareSecondsFirst) {
    EXPECT_LT((ClockInstant{1, 999999999}), (ClockInstant{2, 0}));
    EXPECT_LT((ClockInstant{2, 0}), (ClockInstant{2, 1}));
}

TEST(ClockArithmetic, ToSecondsAndWholeNanoseconds) {
    EXPECT_EQ(to_seconds({1, 500000000}), 1.5);
    EXPECT_EQ(to_seconds({0, 0}), 0.0);
    EXPECT_EQ(whole_nanoseconds({3, 7}), 3000000007u);
    EXPECT_EQ(whole_nanoseconds({18446744073, 709551615}), max_u64);
    EXPECT_EQ(whole_nanoseconds({18446744073, 709551616}), max_u64);
    EXPECT_EQ(whole_nanoseconds({max_u64, 999999999}), max_u64);
}

TEST(ClockArithmetic, InstantsReadAsSecondsWithNineDigitsOfNanoseconds) {
    EXPECT_EQ(to_string(ClockInstant{}), "0.000000000 s");
    EXPECT_EQ(to_string(ClockInstant{12, 5}), "12.000000005 s");
    EXPECT_EQ(to_string(ClockInstant{std::numeric_limits<std::uint64_t>::max(), 999999999}),
              "18446744073709551615.999999999 s");
}

TEST(TimingLengths, ZeroWarmupMakesWarmEndEqualStart) {
    const auto timing = Timing::from_lengths({100, 5}, {}, {0, 1});
    ASSERT_TRUE(timing);
    EXPECT_EQ(timing->warm_end, timing->start);
    EXPECT_EQ(timing->end, (ClockInstant{100, 6}));
}

TEST(TimingLengths, HugeLengthsGiveAWarmEndButNoEnd) {
    const ClockInstant start{1000, 0};
    const TimeSpan huge{10000000000000000000ULL, 0};  // 1e19 s
    EXPECT_TRUE(checked_add(start, huge));
    EXPECT_FALSE(Timing::from_lengths(start, huge, huge));
}

}  // namespace
}  // namespace quorlind
