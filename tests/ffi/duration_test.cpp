#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "ffi/duration.h"

namespace quorlind {

void PrintTo(const TimeSpan& span, std::ostream* out) {
    *out << span.seconds << " s " << span.nanoseconds << " ns";
}

namespace {

TimeSpan converted(double seconds) {
    const auto span = duration_from_seconds(seconds);
    EXPECT_TRUE(span) << seconds;
    return span.value_or(TimeSpan{});
}

// An independent reference: the double's exact decimal expansion, worked out
// on paper. A double is m * 2^-s = m * 5^s / 10^s, so the digits of m * 5^s
// (a big integer in base-10^9 limbs) with the point s places from the right
// are its exact value; the nanoseconds are the first nine fraction digits,
// rounded by what the remaining digits say against "5000...".
TimeSpan reference_span(double seconds) {
    int exponent = 0;
    const double normalized = std::frexp(seconds, &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(normalized, 53));
    const int places = 53 - exponent;
    if (places <= 0) {
        return {static_cast<std::uint64_t>(seconds), 0};
    }

    constexpr std::uint64_t limb_base = 1000000000;
    std::vector<std::uint64_t> limbs{mantissa % limb_base, mantissa / limb_base % limb_base,
                                     mantissa / limb_base / limb_base};
    for (int i = 0; i < places; ++i) {
        std::uint64_t carry = 0;
        for (std::uint64_t& limb : limbs) {
            const std::uint64_t product = limb * 5 + carry;
            limb = product % limb_base;
            carry = product / limb_base;
        }
        if (carry != 0) {
            limbs.push_back(carry);
        }
    }
    std::string digits;
    for (std::size_t i = limbs.size(); i-- > 0;) {
        const std::string part = std::to_string(limbs[i]);
        digits += std::string(9 - part.size(), '0') + part;
    }
    const auto point = static_cast<std::size_t>(places);
    if (digits.size() <= point) {
        digits.insert(0, point + 1 - digits.size(), '0');
    }
    std::uint64_t whole = std::stoull(digits.substr(0, digits.size() - point));
    std::string fraction = digits.substr(digits.size() - point);
    fraction.append(10, '0');

    std::uint64_t nanos = std::stoull(fraction.substr(0, 9));
    const std::string rest = fraction.substr(9);
    const bool above_half =
        rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
    const bool exactly_half = rest[0] == '5' && !above_half;
    if (above_half || (exactly_half && nanos % 2 == 1)) {
        ++nanos;
    }
    if (nanos == limb_base) {
        ++whole;
        nanos = 0;
    }
    return {whole, static_cast<std::uint32_t>(nanos)};
}

double after(double value, int steps) {
    const double direction = steps > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    for (int i = 0; i < std::abs(steps); ++i) {
        value = std::nextafter(value, direction);
    }
    return value;
}

TEST(Duration, ExactDecimalsBecomeExactNanoseconds) {
    EXPECT_EQ(converted(0.1), (TimeSpan{0, 100000000}));
    EXPECT_EQ(converted(120.0), (TimeSpan{120, 0}));
    EXPECT_EQ(converted(2.75), (TimeSpan{2, 750000000}));
    EXPECT_EQ(converted(4503599627370495.5), (TimeSpan{4503599627370495, 500000000}));
}

// The decimal literals are not halves: each double lies a little above or
// below, and only its exact value decides.
TEST(Duration, NearHalfNanosecondsTheExactValueDecides) {
    EXPECT_EQ(converted(5e-10), (TimeSpan{0, 1}));
    EXPECT_EQ(converted(4.999999999999999e-10), (TimeSpan{0, 0}));
    EXPECT_EQ(converted(1.5e-9), (TimeSpan{0, 1}));
    EXPECT_EQ(converted(2.5e-9), (TimeSpan{0, 3}));
    EXPECT_EQ(converted(3.5e-9), (TimeSpan{0, 3}));
    EXPECT_EQ(converted(after(1.5e-9, 1)), (TimeSpan{0, 2}));
}

// j/1024 s is exactly j * 976562.5 ns: a true tie for every odd j.
TEST(Duration, ExactHalfNanosecondsRoundToEven) {
    EXPECT_EQ(converted(1.0 / 1024), (TimeSpan{0, 976562}));
    EXPECT_EQ(converted(3.0 / 1024), (TimeSpan{0, 2929688}));
    EXPECT_EQ(converted(5.0 / 1024), (TimeSpan{0, 4882812}));
    EXPECT_EQ(converted(1023.0 / 1024), (TimeSpan{0, 999023438}));
    EXPECT_EQ(converted(7.0 + 1.0 / 1024), (TimeSpan{7, 976562}));
}

TEST(Duration, AroundOneSecondNanosecondsCarry) {
    EXPECT_EQ(converted(0.9999999995), (TimeSpan{0, 999999999}));
    EXPECT_EQ(converted(after(0.9999999995, 1)), (TimeSpan{1, 0}));
    EXPECT_EQ(converted(std::nextafter(1.0, 0.0)), (TimeSpan{1, 0}));
    EXPECT_EQ(converted(1.0), (TimeSpan{1, 0}));
    EXPECT_EQ(converted(std::nextafter(1.0, 2.0)), (TimeSpan{1, 0}));
    EXPECT_EQ(converted(after(1.0000000005, -1)), (TimeSpan{1, 0}));
    EXPECT_EQ(converted(1.0000000005), (TimeSpan{1, 1}));
    EXPECT_EQ(converted(0.9999999999), (TimeSpan{1, 0}));
    EXPECT_EQ(converted(6.9999999999), (TimeSpan{7, 0}));
}

TEST(Duration, ZeroAndTinyValues) {
    EXPECT_EQ(converted(0.0), (TimeSpan{0, 0}));
    EXPECT_EQ(converted(-0.0), (TimeSpan{0, 0}));
    EXPECT_EQ(converted(1e-12), (TimeSpan{0, 0}));
    EXPECT_EQ(converted(std::numeric_limits<double>::denorm_min()), (TimeSpan{0, 0}));
    EXPECT_EQ(converted(std::ldexp(1.0, -30)), (TimeSpan{0, 1}));  // 0.93 ns
    EXPECT_EQ(converted(std::ldexp(1.0, -31)), (TimeSpan{0, 0}));  // 0.47 ns
}

TEST(Duration, RefusesWhatNoSpanCanHold) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (double bad : {-1e-300, -1.0, std::nan(""), inf, -inf, 18446744073709551616.0, 1e30}) {
        EXPECT_FALSE(duration_from_seconds(bad)) << bad;
    }
    const double largest = std::nextafter(18446744073709551616.0, 0.0);
    EXPECT_EQ(converted(largest), (TimeSpan{18446744073709549568ULL, 0}));
    EXPECT_EQ(converted(9223372036854775808.0), (TimeSpan{9223372036854775808ULL, 0}));
    EXPECT_EQ(converted(1e19), (TimeSpan{10000000000000000000ULL, 0}));
}

TEST(Duration, AgreesWithExactDecimalArithmetic) {
    std::mt19937_64 random(20240611);
    std::vector<double> values;
    // Any double from 2^-40 s to 2^64 s, and now and then any smaller one.
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t fraction = random() >> 12;
        const std::uint64_t biased = i % 16 == 0 ? random() % (1023 + 64) : 1023 - 40 + random() % (40 + 64);
        values.push_back(std::bit_cast<double>(biased << 52 | fraction));
    }
    // The doubles nearest to half-nanosecond points, where a rounded product
    // would turn values just above or below into ties.
    for (int i = 0; i < 4000; ++i) {
        const double whole = static_cast<double>(random() % (std::uint64_t{1} << (random() % 33)));
        const double half_point = whole + (static_cast<double>(random() % 1000000000) + 0.5) / 1e9;
        for (int step = -2; step <= 2; ++step) {
            values.push_back(after(half_point, step));
        }
    }
    int mismatches = 0;
    for (double value : values) {
        const TimeSpan expected = reference_span(value);
        const auto span = duration_from_seconds(value);
        if (!span || *span != expected) {
            ADD_FAILURE() << std::hexfloat << value << " gives " << ::testing::PrintToString(span)
                          << ", exactly " << ::testing::PrintToString(expected);
            if (++mismatches == 10) {
                return;
            }
        }
    }
}

}  // namespace
}  // namespace quorlind
