#pragma once

#include <optional>
#include <span>

namespace quorlind::bench {

// Plain functions over plain numbers. Where a value cannot be computed from
// the data given (too few values, a zero mean) the result is empty rather
// than a number that would read as meaningful.

std::optional<double> median(std::span<const double> values);
std::optional<double> mean(std::span<const double> values);

// With n - 1 in the denominator; needs at least two values.
std::optional<double> sample_standard_deviation(std::span<const double> values);

// Sample standard deviation over the mean, in percent; empty for fewer than
// two values or a mean of zero.
std::optional<double> coefficient_of_variation_percent(std::span<const double> values);

// Student's t distribution (Boost.Math's) for any real degrees of freedom > 0 (Welch's test
// gives fractional ones); NaN outside the domain. The quantile takes a
// probability strictly between 0 and 1.
double student_t_quantile(double probability, double degrees_of_freedom);

// Two-sided p-value of a t statistic.
double student_t_two_sided_p(double t, double degrees_of_freedom);

// P(T > t) for T noncentral t with the given degrees of freedom (> 0) and
// noncentrality: the power of a one-sided t test.
double noncentral_t_upper_tail(double t, double degrees_of_freedom, double noncentrality);

struct Interval {
    double low = 0.0;
    double high = 0.0;
};

// The mean's confidence interval from Student's t with n - 1 degrees of
// freedom. Needs at least two values; equal values give a zero-width interval.
std::optional<Interval> mean_confidence_interval(std::span<const double> values, double confidence = 0.95);

struct WeightedPoint {
    double x = 0.0;
    double y = 0.0;
    double weight = 0.0;
};

struct LineFit {
    double slope = 0.0;
    double intercept = 0.0;
    double weighted_mean_x = 0.0;
    double weighted_mean_y = 0.0;
    int points = 0;  // points with a positive weight
    // Needs at least three points; empty for an exact fit (no residual to
    // judge the slope by).
    std::optional<double> slope_standard_error;
    int degrees_of_freedom = 0;  // points - 2
    // Of the residuals in the order the points were given (time order for a
    // run's intervals); 0 without residuals.
    double residual_lag1_autocorrelation = 0.0;
};

// Weighted least squares y = intercept + slope * x. Points of zero or negative
// weight are left out. Empty with fewer than two such points or when all of
// them share one x.
std::optional<LineFit> fit_weighted_line(std::span<const WeightedPoint> points);

}  // namespace quorlind::bench
