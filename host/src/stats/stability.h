#pragma once

#include <optional>
#include <span>
#include <vector>

#include <quorlind.h>

#include "stats/statistics.h"
#include "stats/trend_test.h"

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

// The trend is measured from this many intervals; below it drift is not
// assessed at all (trend_test.h).
inline constexpr int min_trend_intervals = min_trend_test_points;
// A significant trend smaller than this is reported but not called drift:
// with many steady intervals even a fraction of a percent is significant.
inline constexpr double min_drift_percent = 1.0;

// The straight line through a run's interval rates at their midpoints,
// weighted by interval length, and the time it spans: what the drift test
// judges and what a chart of the run draws. Intervals of no length carry no
// time to weigh and are left out.
struct IntervalTrend {
    std::optional<LineFit> fit;         // empty with fewer than two intervals
    std::vector<WeightedPoint> points;  // what was fitted, in time order
    double start_seconds = 0.0;         // the first interval's start
    double end_seconds = 0.0;           // the last one's end
};

IntervalTrend fit_interval_trend(std::span<const QuorlindIntervalSample> samples);

// "drift" when the trend is significant at 95 % (test_trend, which allows
// for correlated intervals) and the change is at least min_drift_percent,
// whether or not the library marked the run unstable; "noise" when the
// library marked the run unstable without such a trend.
Instability classify_instability(bool trend_significant, std::optional<double> trend_percent,
                                 bool marked_unstable);

// The trend of a run's intervals and the label classify_instability gives it.
Stability assess_stability(const QuorlindRunSummary& summary,
                           std::span<const QuorlindIntervalSample> samples);

const char* instability_name(Instability instability);

}  // namespace quorlind::bench
