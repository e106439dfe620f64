#include "stats/stability.h"

#include <cmath>
#include <vector>

#include "stats/statistics.h"

namespace quorlind::bench {

Stability assess_stability(const QuorlindRunSummary& summary,
                           std::span<const QuorlindIntervalSample> samples) {
    Stability stability;
    std::vector<WeightedPoint> points;
    double first_start = 0.0;
    double last_end = 0.0;
    for (const auto& sample : samples) {
        if (!(sample.duration_seconds > 0.0)) {
            continue;
        }
        if (points.empty()) {
            first_start = sample.end_seconds - sample.duration_seconds;
        }
        last_end = sample.end_seconds;
        points.push_back({sample.end_seconds - sample.duration_seconds / 2.0, sample.ops_per_second,
                          sample.duration_seconds});
    }
    stability.measured_seconds = last_end - first_start;
    const auto fit = fit_weighted_line(points);
    if (fit && fit->points >= min_trend_intervals && fit->weighted_mean_y > 0.0) {
        stability.trend_percent = fit->slope * stability.measured_seconds / fit->weighted_mean_y * 100.0;
        stability.trend_significant = slope_is_significant(*fit, 0.95, min_trend_intervals);
    }
    if (stability.trend_significant && std::fabs(*stability.trend_percent) >= min_drift_percent) {
        stability.instability = Instability::drift;
    } else if (summary.unstable != 0) {
        stability.instability = Instability::noise;
    }
    return stability;
}

const char* instability_name(Instability instability) {
    switch (instability) {
        case Instability::noise:
            return "noise";
        case Instability::drift:
            return "drift";
        case Instability::none:
        default:
            return "none";
    }
}

}  // namespace quorlind::bench
