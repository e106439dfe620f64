#include "ffi/duration.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace quorlind {

namespace {

__extension__ using Uint128 = unsigned __int128;

// A finite, non-negative double as mantissa * 2^exponent, the mantissa an
// integer below 2^53: the double's exact value, nothing rounded.
struct BinaryValue {
    std::uint64_t mantissa;
    int exponent;
};

BinaryValue decompose(double value) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0) {
        return {fraction, -1074};  // subnormal or zero
    }
    return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

}  // namespace

std::optional<TimeSpan> duration_from_seconds(double seconds) noexcept {
    constexpr double two_to_64 = 18446744073709551616.0;
    if (!std::isfinite(seconds) || seconds < 0.0 || seconds >= two_to_64) {
        return std::nullopt;
    }

    const BinaryValue value = decompose(seconds);
    if (value.exponent >= 0) {
        return TimeSpan{value.mantissa << value.exponent, 0};  // whole seconds, below 2^64 as checked
    }

    // The fraction is fraction_bits / 2^shift exactly; its nanoseconds are
    // fraction_bits * 10^9 / 2^shift, decided in integers: below 2^83, so 128
    // bits hold the product. Beyond 83 bits of shift the product is below
    // half of 2^shift and the fraction is nearer to 0 ns than to 1 ns.
    constexpr int widest_shift = 83;
    const int shift = -value.exponent;
    const std::uint64_t whole = shift < 64 ? value.mantissa >> shift : 0;
    if (shift > widest_shift) {
        return TimeSpan{whole, 0};
    }

    const std::uint64_t fraction_bits =
        shift < 64 ? value.mantissa & ((std::uint64_t{1} << shift) - 1) : value.mantissa;
    const Uint128 scaled = Uint128{fraction_bits} * nanos_per_second;
    const Uint128 half = Uint128{1} << (shift - 1);
    auto nanos = static_cast<std::uint64_t>(scaled >> shift);
    const Uint128 rest = scaled & ((Uint128{1} << shift) - 1);
    if (rest > half || (rest == half && nanos % 2 == 1)) {
        ++nanos;
    }

    // Whole seconds are below 2^52 here, so the carry cannot overflow.
    if (nanos == nanos_per_second) {
        return TimeSpan{whole + 1, 0};
    }
    return TimeSpan{whole, static_cast<std::uint32_t>(nanos)};
}

}  // namespace quorlind
