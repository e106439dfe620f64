#include "report/svg/axis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace quorlind::bench {
namespace {

// A step of `factor` times ten to the `exponent`, kept apart so that every
// tick is one correctly rounded operation on whole numbers: 18 * 5 / 100 is
// the double nearest 0.9 on every platform, a sum of 0.05s is not.
struct Step {
    double factor = 1.0;  // 1, 2 or 5
    int exponent = 0;

    double times(double whole) const {
        double scale = 1.0;
        for (int i = 0; i < std::abs(exponent) && scale < 1e308; ++i) {
            scale *= 10.0;  // exact up to 1e22, far beyond any axis
        }
        return exponent >= 0 ? whole * factor * scale : whole * factor / scale;
    }
};

// Of the steps 1, 2 and 5 times a power of ten near the rough one, the one
// whose ticks over [low, high] come closest to the count asked for; the
// larger step on a tie.
Step nice_step(double low, double high, int target_count) {
    const double rough = (high - low) / (target_count - 1);
    const int exponent = static_cast<int>(std::clamp(std::floor(std::log10(rough)), -330.0, 310.0));
    Step best{1.0, exponent + 1};
    double best_miss = std::numeric_limits<double>::infinity();
    for (int e = exponent - 1; e <= exponent + 1; ++e) {
        for (const double factor : {1.0, 2.0, 5.0}) {
            const Step step{factor, e};
            const double unit = step.times(1.0);
            const double count = std::ceil(high / unit - 1e-9) - std::floor(low / unit + 1e-9) + 1.0;
            const double miss = std::fabs(count - target_count);
            if (count >= 2.0 && miss <= best_miss) {
                best = step;
                best_miss = miss;
            }
        }
    }
    return best;
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
    if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(high - low)) {
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
    target_count = std::clamp(target_count, 2, 50);
    const Step step = nice_step(low, high, target_count);
    const double unit = step.times(1.0);
    const double first = std::floor(low / unit + 1e-9);
    const double last = std::ceil(high / unit - 1e-9);
    if (!(unit > 0.0) || !std::isfinite(unit) || !(last - first <= 2.0 * target_count)) {
        return nice_ticks(0.0, 1.0, target_count);  // a range at the ends of what doubles hold
    }
    AxisTicks ticks;
    ticks.step = unit;
    ticks.low = step.times(first);
    ticks.high = step.times(last);
    for (double whole = first; whole <= last; whole += 1.0) {
        const double value = step.times(whole);
        ticks.values.push_back(value == 0.0 ? 0.0 : value);  // never "-0"
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
