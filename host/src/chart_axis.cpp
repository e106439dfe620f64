#include "chart_axis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorlind::bench {
namespace {

// The smallest of 1, 2, 5 (times a power of ten) not below the rough step.
double nice_step(double rough) {
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    const double fraction = rough / magnitude;
    if (fraction <= 1.0) {
        return magnitude;
    }
    if (fraction <= 2.0) {
        return 2.0 * magnitude;
    }
    if (fraction <= 5.0) {
        return 5.0 * magnitude;
    }
    return 10.0 * magnitude;
}

struct SuffixScale {
    double divisor;
    const char* suffix;
};

SuffixScale suffix_for(const AxisTicks& ticks) {
    const double largest = std::max(std::fabs(ticks.low), std::fabs(ticks.high));
    if (largest >= 1e9) {
        return {1e9, "G"};
    }
    if (largest >= 1e6) {
        return {1e6, "M"};
    }
    if (largest >= 1e4) {
        return {1e3, "k"};
    }
    return {1.0, ""};
}

}  // namespace

AxisTicks nice_ticks(double low, double high, int target_count) {
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0.0;
        high = 1.0;
    }
    if (low > high) {
        std::swap(low, high);
    }
    if (high - low <= std::fabs(high) * 1e-9) {
        // One value: a range of a tenth of it on either side, or of one around zero.
        const double half = high != 0.0 ? std::fabs(high) * 0.1 : 1.0;
        low -= half;
        high += half;
    }
    target_count = std::max(target_count, 2);
    AxisTicks ticks;
    ticks.step = nice_step((high - low) / (target_count - 1));
    ticks.low = std::floor(low / ticks.step + 1e-9) * ticks.step;
    ticks.high = std::ceil(high / ticks.step - 1e-9) * ticks.step;
    const auto count = static_cast<long>(std::llround((ticks.high - ticks.low) / ticks.step));
    for (long i = 0; i <= count; ++i) {
        double value = ticks.low + static_cast<double>(i) * ticks.step;
        // Sums of steps drift (0.30000000000000004); snap to the step's own grid.
        value = std::round(value / ticks.step) * ticks.step;
        ticks.values.push_back(value == 0.0 ? 0.0 : value);
    }
    return ticks;
}

std::string format_tick(double value, const AxisTicks& ticks) {
    const SuffixScale scale = suffix_for(ticks);
    const double scaled_step = ticks.step / scale.divisor;
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(scaled_step) + 1e-9)), 0, 9);
    const double scaled = value / scale.divisor;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f%s", decimals, scaled == 0.0 ? 0.0 : scaled, scale.suffix);
    return buffer;
}

double LinearScale::operator()(double value) const {
    const double span = domain_high - domain_low;
    if (span == 0.0) {
        return (range_low + range_high) / 2.0;
    }
    return range_low + (value - domain_low) / span * (range_high - range_low);
}

}  // namespace quorlind::bench
