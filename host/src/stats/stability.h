#pragma once

#include <optional>
#include <span>

#include <quorlind.h>

#include "stats/statistics.h"

namespace quorlind::bench {

// Why a run's rate moved: the library marks a run unstable by its spread
// alone; a trend through the intervals tells drift (throttling, a clock
// change) apart from noise.
enum class Instability { none, noise, drift };

struct Stability {
    // Change of the rate over the measured time along the fitted line,
    // relative to the mean rate; empty with too few intervals.
    std::optional<double> trend_percent;
    bool trend_significant = false;
    Instability instability = Instability::none;
    double measured_seconds = 0.0;  // the span the trend covers
};

// The slope needs this many intervals before a t test on it means anything.
inline constexpr int min_trend_intervals = 4;
// A significant trend smaller than this is reported but not called drift:
// with many steady intervals even a fraction of a percent is significant.
inline constexpr double min_drift_percent = 1.0;

// The straight line through a run's interval rates at their midpoints,
// weighted by interval length, and the time it spans: what the drift test
// judges and what a chart of the run draws. Intervals of no length carry no
// time to weigh and are left out.
struct IntervalTrend {
    std::optional<LineFit> fit;  // empty with fewer than two intervals
    double start_seconds = 0.0;  // the first interval's start
    double end_seconds = 0.0;    // the last one's end
};

IntervalTrend fit_interval_trend(std::span<const QuorlindIntervalSample> samples);

// "drift" when the trend's slope is significant at 95 % (allowing for
// correlated intervals: slope_is_significant_autocorrelated) and the change
// is at least min_drift_percent, whether or not the library marked the run
// unstable; "noise" when the library marked the run unstable
// without such a trend.
Stability assess_stability(const QuorlindRunSummary& summary,
                           std::span<const QuorlindIntervalSample> samples);

const char* instability_name(Instability instability);

}  // namespace quorlind::bench
