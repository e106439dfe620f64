#pragma once

#include <optional>
#include <span>

#include "stats/statistics.h"

namespace quorlind::bench {

// The test of a run's trend that the drift label rests on. Consecutive
// interval rates are correlated, at more than one time scale (the clock's
// steps, heat, background load), so neither the plain t test nor a lag-one
// correction holds its level. This one:
// - prewhitens with the residuals' lag-1 autocorrelation, corrected for the
//   bias of a fitted line's residuals (-(2 + 4 rho) / n), clamped to
//   [0, max_prewhitening];
// - takes the slope's error from a Bartlett kernel over the whole series
//   (fixed-b with b = 1: Kiefer, Vogelsang and Bunzel), which sees slow
//   correlation a lag-one estimate cannot;
// - adds in quadrature a floor of min_trend_error_percent to the error of the
//   relative change: a slow wander that one run cannot tell from a line;
// - compares with critical values simulated for this many points under AR(1)
//   noise up to rho = 0.8, the worst of them, so that the level holds for
//   short runs too (docs/compare.md shows the calibration).
struct TrendTest {
    double statistic = 0.0;       // |relative change| / its standard error
    double critical_value = 0.0;  // two-sided, 95 %
    bool significant() const { return statistic > critical_value; }
};

inline constexpr int min_trend_test_points = 5;
inline constexpr double max_prewhitening = 0.97;
inline constexpr double min_trend_error_percent = 0.2;

// The 95 % critical value for n points (n >= min_trend_test_points),
// interpolated in 1 / n between simulated lengths.
double trend_critical_value(int points);

// Points in time order; those without a positive weight are left out. The
// change is the slope over span (the measured time) relative to the mean.
// Empty with fewer than min_trend_test_points points, or a mean level that
// is not positive.
std::optional<TrendTest> test_trend(std::span<const WeightedPoint> points, double span);

}  // namespace quorlind::bench
