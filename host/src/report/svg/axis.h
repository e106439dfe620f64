#pragma once

#include <string>
#include <vector>

namespace quorlind::bench {

// An axis range rounded outwards to whole steps of 1, 2 or 5 times a power of
// ten, with the tick values in it, so that tick labels stay short and even.
struct AxisTicks {
    double low = 0.0;
    double high = 1.0;
    double step = 0.2;
    std::vector<double> values;
};

// About target_count ticks covering [low, high]. An empty or non-finite range
// gets a sensible one around its value rather than a division by zero.
AxisTicks nice_ticks(double low, double high, int target_count = 5);

// A tick label with a k/M/G suffix chosen for the whole axis and as many
// decimals as the step needs: 40k, 42.5k, 1.25M, 0.98.
std::string format_tick(double value, const AxisTicks& ticks);

// Maps a data range linearly onto a range of drawing units (which may run backwards, as y does).
struct LinearScale {
    double domain_low = 0.0;
    double domain_high = 1.0;
    double range_low = 0.0;
    double range_high = 1.0;

    double operator()(double value) const;
};

}  // namespace quorlind::bench
