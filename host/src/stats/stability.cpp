#include "stats/stability.h"

#include <cmath>
#include <vector>

namespace quorlind::bench {

IntervalTrend fit_interval_trend(std::span<const QuorlindIntervalSample> samples) {
    IntervalTrend trend;
    std::vector<WeightedPoint> points;
    for (const auto& sample : samples) {
        if (!(sample.duration_seconds > 0.0)) {
            continue;
        }
        if (points.empty()) {
            trend.start_seconds = sample.end_seconds - sample.duration_seconds;
        }
        trend.end_seconds = sample.end_seconds;
        points.push_back({sample.end_seconds - sample.duration_seconds / 2.0, sample.ops_per_second,
                          sample.duration_seconds});
    }
    trend.fit = fit_weighted_line(points);
    trend.points = std::move(points);
    return trend;
}

Stability assess_stability(const QuorlindRunSummary& summary,
                           std::span<const QuorlindIntervalSample> samples) {
    Stability stability;
    const IntervalTrend trend = fit_interval_trend(samples);
    stability.measured_seconds = trend.end_seconds - trend.start_seconds;
    const auto& fit = trend.fit;
    if (fit && fit->points >= min_trend_intervals && fit->weighted_mean_y > 0.0) {
        stability.trend_percent = fit->slope * stability.measured_seconds / fit->weighted_mean_y * 100.0;
        const auto test = test_trend(trend.points, stability.measured_seconds);
        stability.trend_significant = test && test->significant();
    }
    stability.instability =
        classify_instability(stability.trend_significant, stability.trend_percent, summary.unstable != 0);
    return stability;
}

Instability classify_instability(bool trend_significant, std::optional<double> trend_percent,
                                 bool marked_unstable) {
    if (trend_significant && trend_percent && std::fabs(*trend_percent) >= min_drift_percent) {
        return Instability::drift;
    }
    return marked_unstable ? Instability::noise : Instability::none;
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
