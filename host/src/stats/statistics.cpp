#include "stats/statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace quorlind::bench {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The continued fraction of I_x(a, b) (modified Lentz), converging quickly
// for x < (a + 1) / (a + b + 2); the caller uses the symmetry otherwise.
double incomplete_beta_fraction(double a, double b, double x) {
    constexpr int max_terms = 10000;
    constexpr double tiny = 1e-300;
    constexpr double epsilon = 1e-16;
    const double sum = a + b;
    double c = 1.0;
    double d = 1.0 - sum * x / (a + 1.0);
    d = 1.0 / (std::fabs(d) < tiny ? tiny : d);
    double fraction = d;
    for (int m = 1; m <= max_terms; ++m) {
        const double m2 = 2.0 * m;
        // Even step.
        double term = m * (b - m) * x / ((a - 1.0 + m2) * (a + m2));
        d = 1.0 + term * d;
        d = 1.0 / (std::fabs(d) < tiny ? tiny : d);
        c = 1.0 + term / c;
        c = std::fabs(c) < tiny ? tiny : c;
        fraction *= d * c;
        // Odd step.
        term = -(a + m) * (sum + m) * x / ((a + m2) * (a + 1.0 + m2));
        d = 1.0 + term * d;
        d = 1.0 / (std::fabs(d) < tiny ? tiny : d);
        c = 1.0 + term / c;
        c = std::fabs(c) < tiny ? tiny : c;
        const double step = d * c;
        fraction *= step;
        if (std::fabs(step - 1.0) < epsilon) {
            break;
        }
    }
    return fraction;
}

// P(T > t) for t >= 0: the tail, computed directly so that it keeps its
// precision far out where 1 - cdf would round to zero.
double student_t_upper_tail(double t, double degrees_of_freedom) {
    const double x = degrees_of_freedom / (degrees_of_freedom + t * t);
    return 0.5 * regularized_incomplete_beta(degrees_of_freedom / 2.0, 0.5, x);
}

std::vector<double> sorted_copy(std::span<const double> values) {
    std::vector<double> sorted(values.begin(), values.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

}  // namespace

std::optional<double> median(std::span<const double> values) {
    if (values.empty()) {
        return std::nullopt;
    }
    const std::vector<double> sorted = sorted_copy(values);
    const std::size_t middle = sorted.size() / 2;
    if (sorted.size() % 2 == 1) {
        return sorted[middle];
    }
    return sorted[middle - 1] + (sorted[middle] - sorted[middle - 1]) / 2.0;
}

std::optional<double> mean(std::span<const double> values) {
    if (values.empty()) {
        return std::nullopt;
    }
    double sum = 0.0;
    for (double value : values) {
        sum += value;
    }
    return sum / static_cast<double>(values.size());
}

std::optional<double> sample_standard_deviation(std::span<const double> values) {
    if (values.size() < 2) {
        return std::nullopt;
    }
    const double centre = *mean(values);
    double squares = 0.0;
    for (double value : values) {
        squares += (value - centre) * (value - centre);
    }
    return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

std::optional<double> coefficient_of_variation_percent(std::span<const double> values) {
    const auto deviation = sample_standard_deviation(values);
    if (!deviation) {
        return std::nullopt;
    }
    const double centre = *mean(values);
    if (centre == 0.0) {
        return std::nullopt;
    }
    return *deviation / std::fabs(centre) * 100.0;
}

double regularized_incomplete_beta(double a, double b, double x) {
    if (!(a > 0.0) || !(b > 0.0) || !(x >= 0.0 && x <= 1.0)) {
        return nan;
    }
    if (x == 0.0 || x == 1.0) {
        return x;
    }
    const double log_front =
        std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x);
    if (x < (a + 1.0) / (a + b + 2.0)) {
        return std::exp(log_front) * incomplete_beta_fraction(a, b, x) / a;
    }
    return 1.0 - std::exp(log_front) * incomplete_beta_fraction(b, a, 1.0 - x) / b;
}

double student_t_two_sided_p(double t, double degrees_of_freedom) {
    if (!(degrees_of_freedom > 0.0) || std::isnan(t)) {
        return nan;
    }
    return std::min(1.0, 2.0 * student_t_upper_tail(std::fabs(t), degrees_of_freedom));
}

double student_t_quantile(double probability, double degrees_of_freedom) {
    if (!(degrees_of_freedom > 0.0) || !(probability > 0.0 && probability < 1.0)) {
        return nan;
    }
    if (probability == 0.5) {
        return 0.0;
    }
    // Solve on the upper side, where the tail is held exactly, by bisection:
    // slow next to Newton's method, but it cannot diverge for any df.
    const double tail = probability > 0.5 ? 1.0 - probability : probability;
    double low = 0.0;
    double high = 1.0;
    while (student_t_upper_tail(high, degrees_of_freedom) > tail) {
        low = high;
        high *= 2.0;
        if (!std::isfinite(high)) {
            return probability > 0.5 ? high : -high;
        }
    }
    for (int step = 0; step < 2000 && high - low > 4 * std::numeric_limits<double>::epsilon() * high;
         ++step) {
        const double middle = low + (high - low) / 2.0;
        if (student_t_upper_tail(middle, degrees_of_freedom) > tail) {
            low = middle;
        } else {
            high = middle;
        }
    }
    const double t = low + (high - low) / 2.0;
    return probability > 0.5 ? t : -t;
}

std::optional<Interval> mean_confidence_interval(std::span<const double> values, double confidence) {
    const auto deviation = sample_standard_deviation(values);
    if (!deviation || !(confidence > 0.0 && confidence < 1.0)) {
        return std::nullopt;
    }
    const double centre = *mean(values);
    const double n = static_cast<double>(values.size());
    const double half_width =
        student_t_quantile((1.0 + confidence) / 2.0, n - 1.0) * *deviation / std::sqrt(n);
    return Interval{centre - half_width, centre + half_width};
}

std::optional<LineFit> fit_weighted_line(std::span<const WeightedPoint> points) {
    std::vector<WeightedPoint> used;
    for (const auto& point : points) {
        if (point.weight > 0.0 && std::isfinite(point.weight) && std::isfinite(point.x) &&
            std::isfinite(point.y)) {
            used.push_back(point);
        }
    }
    if (used.size() < 2) {
        return std::nullopt;
    }
    // Working relative to the first y keeps equal values exactly equal, so a
    // flat series gives a slope of exactly zero instead of rounding noise.
    const double y_origin = used.front().y;
    double total_weight = 0.0;
    double sum_x = 0.0;
    double sum_y = 0.0;
    for (const auto& point : used) {
        total_weight += point.weight;
        sum_x += point.weight * point.x;
        sum_y += point.weight * (point.y - y_origin);
    }
    const double mean_x = sum_x / total_weight;
    const double mean_y = sum_y / total_weight;
    double sxx = 0.0;
    double sxy = 0.0;
    for (const auto& point : used) {
        const double dx = point.x - mean_x;
        sxx += point.weight * dx * dx;
        sxy += point.weight * dx * (point.y - y_origin - mean_y);
    }
    if (!(sxx > 0.0)) {
        return std::nullopt;
    }
    LineFit fit;
    fit.points = static_cast<int>(used.size());
    fit.slope = sxy / sxx;
    fit.weighted_mean_x = mean_x;
    fit.weighted_mean_y = mean_y + y_origin;
    fit.intercept = fit.weighted_mean_y - fit.slope * mean_x;
    fit.degrees_of_freedom = fit.points - 2;
    if (fit.degrees_of_freedom > 0) {
        double residuals = 0.0;
        double lagged = 0.0;
        double previous = 0.0;
        double squares = 0.0;
        for (std::size_t i = 0; i < used.size(); ++i) {
            const auto& point = used[i];
            const double residual = point.y - y_origin - mean_y - fit.slope * (point.x - mean_x);
            residuals += point.weight * residual * residual;
            squares += residual * residual;
            if (i > 0) {
                lagged += previous * residual;
            }
            previous = residual;
        }
        if (residuals > 0.0) {
            fit.slope_standard_error = std::sqrt(residuals / fit.degrees_of_freedom / sxx);
        }
        if (squares > 0.0) {
            fit.residual_lag1_autocorrelation = lagged / squares;
        }
    }
    return fit;
}

bool slope_is_significant(const LineFit& fit, double confidence, int min_points) {
    if (fit.points < std::max(min_points, 3)) {
        return false;
    }
    if (!fit.slope_standard_error) {
        return fit.slope != 0.0;
    }
    const double t = fit.slope / *fit.slope_standard_error;
    return student_t_two_sided_p(t, fit.degrees_of_freedom) < 1.0 - confidence;
}

double effective_points(const LineFit& fit) {
    // Residuals of a fitted line understate the noise's correlation by about
    // (1 + 4 r1) / n (Kendall); without this the test is too eager at n = 60.
    const double n = fit.points;
    const double raw = fit.residual_lag1_autocorrelation;
    const double r1 = std::clamp(raw + (1.0 + 4.0 * raw) / n, 0.0, max_residual_autocorrelation);
    return n * (1.0 - r1) / (1.0 + r1);
}

bool slope_is_significant_autocorrelated(const LineFit& fit, double confidence, int min_points) {
    if (fit.points < std::max(min_points, 3)) {
        return false;
    }
    if (!fit.slope_standard_error) {
        return fit.slope != 0.0;
    }
    const double degrees_of_freedom = effective_points(fit) - 2.0;
    if (!(degrees_of_freedom > 0.0)) {
        return false;
    }
    const double standard_error =
        *fit.slope_standard_error * std::sqrt(fit.degrees_of_freedom / degrees_of_freedom);
    return student_t_two_sided_p(fit.slope / standard_error, degrees_of_freedom) < 1.0 - confidence;
}

}  // namespace quorlind::bench
