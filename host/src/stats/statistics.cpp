#include "stats/statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <boost/math/distributions/non_central_t.hpp>
#include <boost/math/distributions/students_t.hpp>

namespace quorlind::bench {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Boost throws by default, and a hand-edited file reaches here with any
// degrees of freedom: below about 0.01 the quantile passes the largest double.
// Such results come back as infinity or NaN, which the callers read as an
// interval without bounds. Doubles stay doubles, which keeps the
// calibration's millions of quantiles fast.
namespace policies = boost::math::policies;
using Policy = policies::policy<
    policies::promote_double<false>, policies::domain_error<policies::ignore_error>,
    policies::pole_error<policies::ignore_error>, policies::overflow_error<policies::ignore_error>,
    policies::evaluation_error<policies::ignore_error>, policies::rounding_error<policies::ignore_error>>;
using StudentT = boost::math::students_t_distribution<double, Policy>;

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

double student_t_two_sided_p(double t, double degrees_of_freedom) {
    if (!(degrees_of_freedom > 0.0) || std::isnan(t)) {
        return nan;
    }
    // The upper tail directly, so that it keeps its precision far out where
    // 1 - cdf would round to zero.
    const double tail = boost::math::cdf(boost::math::complement(StudentT(degrees_of_freedom), std::fabs(t)));
    return std::min(1.0, 2.0 * tail);
}

double student_t_quantile(double probability, double degrees_of_freedom) {
    if (!(degrees_of_freedom > 0.0) || !(probability > 0.0 && probability < 1.0)) {
        return nan;
    }
    return boost::math::quantile(StudentT(degrees_of_freedom), probability);
}

double noncentral_t_upper_tail(double t, double degrees_of_freedom, double noncentrality) {
    if (!(degrees_of_freedom > 0.0) || std::isnan(t) || std::isnan(noncentrality)) {
        return nan;
    }
    const boost::math::non_central_t_distribution<double, Policy> distribution(degrees_of_freedom,
                                                                               noncentrality);
    return boost::math::cdf(boost::math::complement(distribution, t));
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

}  // namespace quorlind::bench
