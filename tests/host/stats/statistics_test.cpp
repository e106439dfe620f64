#include "stats/statistics.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

namespace quorlind::bench {
namespace {

// The distribution function, from the tail the p-value holds: what the quantile inverts.
double student_t_cdf(double t, double degrees_of_freedom) {
    const double tail = student_t_two_sided_p(t, degrees_of_freedom) / 2.0;
    return t >= 0.0 ? 1.0 - tail : tail;
}

TEST(Statistics, CentreAndSpreadOfSmallSets) {
    const std::vector<double> odd{14.0, 10.0, 12.0};
    EXPECT_EQ(*median(odd), 12.0);
    EXPECT_EQ(*mean(odd), 12.0);
    EXPECT_DOUBLE_EQ(*sample_standard_deviation(odd), 2.0);
    EXPECT_DOUBLE_EQ(*coefficient_of_variation_percent(odd), 100.0 / 6.0);

    const std::vector<double> even{4.0, 1.0, 3.0, 2.0};
    EXPECT_EQ(*median(even), 2.5);

    const std::vector<double> one{7.0};
    EXPECT_EQ(*median(one), 7.0);
    EXPECT_EQ(*mean(one), 7.0);
    EXPECT_FALSE(sample_standard_deviation(one));
    EXPECT_FALSE(coefficient_of_variation_percent(one));

    EXPECT_FALSE(median({}));
    EXPECT_FALSE(mean({}));
    EXPECT_FALSE(coefficient_of_variation_percent(std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(*coefficient_of_variation_percent(std::vector<double>{5.0, 5.0, 5.0}), 0.0);
}

TEST(Statistics, StudentTQuantilesMatchTables) {
    struct Case {
        double probability;
        double degrees_of_freedom;
        double quantile;
    };
    // Integer rows as printed in t tables; the fractional ones are what
    // Welch's test produces.
    const Case cases[] = {
        {0.975, 1.0, 12.706204736174693},  {0.975, 2.0, 4.3026527297494618},
        {0.975, 4.0, 2.7764451051977935},  {0.975, 10.0, 2.2281388519862742},
        {0.975, 30.0, 2.0422724563012379}, {0.95, 5.0, 2.0150483733330235},
        {0.995, 3.0, 5.8409093097333554},  {0.6, 3.0, 0.27667066233268985},
        {0.975, 2.5, 3.5746548420036818},  {0.975, 7.3, 2.345066736547703},
        {0.9, 0.5, 10.270324410234511},    {0.975, 1e6, 1.9599663568141067},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(student_t_quantile(c.probability, c.degrees_of_freedom), c.quantile, 1e-9 * c.quantile)
            << c.probability << " " << c.degrees_of_freedom;
        EXPECT_NEAR(student_t_quantile(1.0 - c.probability, c.degrees_of_freedom), -c.quantile,
                    1e-9 * c.quantile);
        // lgamma's rounding at a million degrees of freedom limits this to ~1e-11.
        EXPECT_NEAR(student_t_cdf(c.quantile, c.degrees_of_freedom), c.probability, 1e-10);
    }
    // One degree of freedom is the Cauchy distribution, with a closed form.
    EXPECT_NEAR(student_t_quantile(0.99, 1.0), std::tan(std::numbers::pi * 0.49), 1e-9);
    EXPECT_EQ(student_t_quantile(0.5, 3.0), 0.0);
    EXPECT_NEAR(student_t_cdf(-3.5, 4.2), 0.011496871227738694, 1e-14);
    EXPECT_NEAR(student_t_two_sided_p(8.0, 3.0), 0.0040765775877854682, 1e-14);
    EXPECT_NEAR(student_t_two_sided_p(-8.0, 3.0), 0.0040765775877854682, 1e-14);
    EXPECT_EQ(student_t_two_sided_p(0.0, 3.0), 1.0);
    EXPECT_TRUE(std::isnan(student_t_quantile(1.0, 3.0)));
    EXPECT_TRUE(std::isnan(student_t_quantile(0.975, 0.0)));
    // Hand-edited intervals give any positive degrees of freedom; past the
    // largest double the quantile is infinite rather than an exception.
    EXPECT_EQ(student_t_quantile(0.975, 1e-12), std::numeric_limits<double>::infinity());
    EXPECT_EQ(student_t_quantile(0.025, 1e-3), -std::numeric_limits<double>::infinity());
    EXPECT_NEAR(student_t_two_sided_p(3.0, 1e-12), 1.0, 1e-9);
    EXPECT_TRUE(std::isnan(student_t_cdf(1.0, -1.0)));
    // Without noncentrality the power's tail is the central one.
    EXPECT_NEAR(noncentral_t_upper_tail(2.2281388519862742, 10.0, 0.0), 0.025, 1e-12);
    EXPECT_GT(noncentral_t_upper_tail(2.0, 10.0, 3.0), 0.5);
    EXPECT_TRUE(std::isnan(noncentral_t_upper_tail(2.0, 0.0, 1.0)));
}

TEST(Statistics, ConfidenceIntervalOfTheMean) {
    // 12 +- t(0.975, 2) * 2 / sqrt(3)
    const auto three = mean_confidence_interval(std::vector<double>{10.0, 12.0, 14.0});
    ASSERT_TRUE(three);
    EXPECT_NEAR(three->low, 12.0 - 4.9682754235006605, 1e-9);
    EXPECT_NEAR(three->high, 12.0 + 4.9682754235006605, 1e-9);

    // N = 2: one degree of freedom, a wide interval.
    const auto two = mean_confidence_interval(std::vector<double>{10.0, 14.0});
    ASSERT_TRUE(two);
    EXPECT_NEAR(two->high - 12.0, 25.412409472349385, 1e-9);

    const auto equal = mean_confidence_interval(std::vector<double>{5.0, 5.0, 5.0});
    ASSERT_TRUE(equal);
    EXPECT_EQ(equal->low, 5.0);
    EXPECT_EQ(equal->high, 5.0);

    EXPECT_FALSE(mean_confidence_interval(std::vector<double>{5.0}));
    EXPECT_FALSE(mean_confidence_interval({}));
}

TEST(LineFit, WeightedSlopeAndItsStandardError) {
    const std::vector<WeightedPoint> points{{0.0, 0.0, 1.0}, {1.0, 1.0, 1.0}, {2.0, 4.0, 2.0}};
    const auto fit = fit_weighted_line(points);
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->slope, 23.0 / 11.0, 1e-12);
    EXPECT_NEAR(fit->intercept, -4.0 / 11.0, 1e-12);
    EXPECT_NEAR(fit->weighted_mean_y, 2.25, 1e-12);
    EXPECT_EQ(fit->degrees_of_freedom, 1);
    ASSERT_TRUE(fit->slope_standard_error);
    EXPECT_NEAR(*fit->slope_standard_error, 0.51425947722658, 1e-12);
}

TEST(LineFit, ZeroWeightPointsAreLeftOut) {
    const std::vector<WeightedPoint> with_empty{
        {0.0, 0.0, 1.0}, {0.5, 1e9, 0.0}, {1.0, 1.0, 1.0}, {2.0, 4.0, 2.0}, {3.0, -5.0, -1.0}};
    const auto fit = fit_weighted_line(with_empty);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->points, 3);
    EXPECT_NEAR(fit->slope, 23.0 / 11.0, 1e-12);

    EXPECT_FALSE(fit_weighted_line(std::vector<WeightedPoint>{{1.0, 2.0, 1.0}, {2.0, 3.0, 0.0}}));
    EXPECT_FALSE(fit_weighted_line(std::vector<WeightedPoint>{{1.0, 2.0, 1.0}, {1.0, 3.0, 1.0}}));
}

TEST(LineFit, ExactAndNoisyLines) {
    // Steady decline: exactly on a line, no residual to judge the slope by.
    const std::vector<WeightedPoint> decline{
        {0.5, 100.0, 1.0}, {1.5, 98.0, 1.0}, {2.5, 96.0, 1.0}, {3.5, 94.0, 1.0}};
    const auto declining = fit_weighted_line(decline);
    ASSERT_TRUE(declining);
    EXPECT_NEAR(declining->slope, -2.0, 1e-12);
    EXPECT_FALSE(declining->slope_standard_error);

    // Same ends, noise in between: slope -0.4 with standard error sqrt(57.6 / 5).
    const std::vector<WeightedPoint> noise{
        {0.5, 100.0, 1.0}, {1.5, 90.0, 1.0}, {2.5, 104.0, 1.0}, {3.5, 94.0, 1.0}};
    const auto noisy = fit_weighted_line(noise);
    ASSERT_TRUE(noisy);
    EXPECT_NEAR(noisy->slope, -0.4, 1e-12);
    EXPECT_NEAR(*noisy->slope_standard_error, std::sqrt(57.6 / 5.0), 1e-12);

    // All equal: a slope of exactly zero, never a trend.
    const std::vector<WeightedPoint> flat{{0.5, 0.1, 1.0}, {1.5, 0.1, 0.7}, {2.5, 0.1, 1.3}, {3.5, 0.1, 1.0}};
    const auto level = fit_weighted_line(flat);
    ASSERT_TRUE(level);
    EXPECT_EQ(level->slope, 0.0);
    EXPECT_FALSE(level->slope_standard_error);

    // Two points make a line, with no degree of freedom left for its error.
    const auto two = fit_weighted_line(std::vector<WeightedPoint>{{0.0, 1.0, 1.0}, {1.0, 3.0, 1.0}});
    ASSERT_TRUE(two);
    EXPECT_EQ(two->slope, 2.0);
    EXPECT_EQ(two->degrees_of_freedom, 0);
    EXPECT_FALSE(two->slope_standard_error);
}

}  // namespace
}  // namespace quorlind::bench
