#include "stats/trend_test.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace quorlind::bench {
namespace {

struct CriticalValue {
    int points;
    double value;
};

// The 95 % point of the statistic without its floor, from 40000 simulated
// series per length and rho in {0, 0.3, 0.6, 0.8}, the largest of the four.
// Past 300 points it no longer depends on rho or on the length.
constexpr std::array<CriticalValue, 15> critical_values{{{5, 17.86},
                                                         {6, 14.91},
                                                         {7, 14.07},
                                                         {8, 13.44},
                                                         {10, 12.57},
                                                         {12, 11.73},
                                                         {15, 10.85},
                                                         {20, 9.53},
                                                         {25, 8.89},
                                                         {30, 8.40},
                                                         {40, 7.51},
                                                         {60, 6.89},
                                                         {100, 6.26},
                                                         {200, 5.96},
                                                         {300, 5.82}}};

}  // namespace

double trend_critical_value(int points) {
    if (points <= critical_values.front().points) {
        return critical_values.front().value;
    }
    for (std::size_t i = 1; i < critical_values.size(); ++i) {
        const CriticalValue& upper = critical_values[i];
        if (points <= upper.points) {
            const CriticalValue& lower = critical_values[i - 1];
            const double share =
                (1.0 / lower.points - 1.0 / points) / (1.0 / lower.points - 1.0 / upper.points);
            return lower.value + (upper.value - lower.value) * share;
        }
    }
    return critical_values.back().value;
}

std::optional<TrendTest> test_trend(std::span<const WeightedPoint> points, double span) {
    std::vector<WeightedPoint> used;
    for (const auto& point : points) {
        if (point.weight > 0.0 && std::isfinite(point.weight) && std::isfinite(point.x) &&
            std::isfinite(point.y)) {
            used.push_back(point);
        }
    }
    const int n = static_cast<int>(used.size());
    if (n < min_trend_test_points) {
        return std::nullopt;
    }
    const auto fit = fit_weighted_line(used);
    if (!fit || !(fit->weighted_mean_y > 0.0)) {
        return std::nullopt;
    }
    const double rho =
        std::clamp((n * fit->residual_lag1_autocorrelation + 2.0) / (n - 4.0), 0.0, max_prewhitening);
    std::vector<WeightedPoint> whitened;
    for (std::size_t i = 1; i < used.size(); ++i) {
        whitened.push_back(
            {used[i].x - rho * used[i - 1].x, used[i].y - rho * used[i - 1].y, used[i].weight});
    }
    const auto line = fit_weighted_line(whitened);
    if (!line) {
        return std::nullopt;
    }
    // Bartlett weights over the whole series reduce to the partial sums of
    // the slope's scores, which add up to zero.
    double sxx = 0.0;
    double partial = 0.0;
    double squares = 0.0;
    for (const auto& point : whitened) {
        const double dx = point.x - line->weighted_mean_x;
        const double residual = point.y - line->intercept - line->slope * point.x;
        sxx += point.weight * dx * dx;
        partial += point.weight * dx * residual;
        squares += partial * partial;
    }
    const double m = static_cast<double>(whitened.size());
    const double slope_error = std::sqrt(2.0 * squares / m) / sxx;
    const double scale = span / fit->weighted_mean_y * 100.0;
    const double change_error = std::hypot(slope_error * scale, min_trend_error_percent);
    TrendTest test;
    test.statistic = std::fabs(line->slope * scale) / change_error;
    test.critical_value = trend_critical_value(n);
    return test;
}

}  // namespace quorlind::bench
