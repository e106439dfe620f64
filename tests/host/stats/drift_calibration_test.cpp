// How often the drift label is given: seeded simulations of whole runs of
// one-second intervals through assess_stability, the code every report uses.
// Set QUORLIND_CALIBRATION_TABLES=1 to print the rates as the table in
// docs/compare.md.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "stats/stability.h"

namespace quorlind::bench {
namespace {

constexpr int trials = 3000;
constexpr double allowed_false_drift = 0.06;
constexpr double required_power = 0.80;

// Box-Muller over the engine's raw output: the same numbers on every
// standard library, unlike std::normal_distribution.
class Normal {
public:
    explicit Normal(std::uint64_t seed) : engine_(seed) {}
    double next() {
        const double u1 = (static_cast<double>(engine_() >> 11) + 0.5) / 9007199254740992.0;
        const double u2 = static_cast<double>(engine_() >> 11) / 9007199254740992.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.14159265358979323846 * u2);
    }

private:
    std::mt19937_64 engine_;
};

struct Case {
    int intervals;
    double rho;            // lag-1 autocorrelation of the interval noise
    double noise_percent;  // its standard deviation, relative to the rate
    double slow_percent;   // a second, slow AR(1) (rho 0.97) of this deviation on top
    double trend_percent;  // the true change over the run
};

constexpr double slow_rho = 0.97;

struct Rates {
    double drift = 0.0;        // labelled drift
    double significant = 0.0;  // trend significant, whatever its size
};

Rates simulate(const Case& c) {
    Normal normal(0x5eed0000u + static_cast<std::uint64_t>(c.intervals) * 1000 +
                  static_cast<std::uint64_t>(c.rho * 100) * 10 +
                  static_cast<std::uint64_t>(c.slow_percent * 10) +
                  static_cast<std::uint64_t>(std::fabs(c.trend_percent)) * 7);
    const double innovation = std::sqrt(1.0 - c.rho * c.rho);
    const double slow_innovation = std::sqrt(1.0 - slow_rho * slow_rho);
    int drift = 0;
    int significant = 0;
    std::vector<QuorlindIntervalSample> samples(c.intervals);
    for (int trial = 0; trial < trials; ++trial) {
        double noise = normal.next();
        double slow = normal.next();
        for (int i = 0; i < c.intervals; ++i) {
            if (i > 0) {
                noise = c.rho * noise + innovation * normal.next();
                slow = slow_rho * slow + slow_innovation * normal.next();
            }
            const double middle = (i + 0.5) / c.intervals - 0.5;
            const double rate = 1e6 * (1.0 + c.trend_percent / 100.0 * middle +
                                       c.noise_percent / 100.0 * noise + c.slow_percent / 100.0 * slow);
            samples[i] = {i + 1.0, 1.0, static_cast<std::uint64_t>(rate), rate};
        }
        const Stability stability = assess_stability(QuorlindRunSummary{}, samples);
        drift += stability.instability == Instability::drift ? 1 : 0;
        significant += stability.trend_significant ? 1 : 0;
    }
    return {static_cast<double>(drift) / trials, static_cast<double>(significant) / trials};
}

bool print_table() {
    const char* value = std::getenv("QUORLIND_CALIBRATION_TABLES");
    return value != nullptr && *value != '\0' && *value != '0';
}

void print_row(const Case& c, const Rates& rates) {
    if (print_table()) {
        std::printf("| %d | %.1f | %.0f %%%s | %+.0f %% | %.1f %% | %.1f %% |\n", c.intervals, c.rho,
                    c.noise_percent, c.slow_percent > 0.0 ? " + slow 0.5 %" : "", c.trend_percent,
                    rates.drift * 100.0, rates.significant * 100.0);
    }
}

std::vector<Case> null_cases() {
    std::vector<Case> cases;
    for (const int intervals : {5, 10, 30, 60, 300}) {
        for (const double rho : {0.0, 0.3, 0.6, 0.8}) {
            cases.push_back({intervals, rho, 1.0, 0.0, 0.0});
        }
        cases.push_back({intervals, 0.0, 1.0, 0.5, 0.0});
        cases.push_back({intervals, 0.8, 3.0, 0.0, 0.0});
    }
    return cases;
}

class DriftNull : public ::testing::TestWithParam<Case> {};

TEST_P(DriftNull, NoTrendIsRarelyCalledDrift) {
    const Case c = GetParam();
    const Rates rates = simulate(c);
    print_row(c, rates);
    EXPECT_LE(rates.drift, allowed_false_drift);
}

INSTANTIATE_TEST_SUITE_P(Calibration, DriftNull, ::testing::ValuesIn(null_cases()));

class DriftPower : public ::testing::TestWithParam<Case> {};

TEST_P(DriftPower, FivePercentInAMinuteIsCalledDrift) {
    const Case c = GetParam();
    const Rates rates = simulate(c);
    print_row(c, rates);
    EXPECT_GE(rates.drift, required_power);
}

INSTANTIATE_TEST_SUITE_P(Calibration, DriftPower,
                         ::testing::Values(Case{60, 0.0, 1.0, 0.0, -5.0}, Case{60, 0.3, 1.0, 0.0, 5.0},
                                           Case{60, 0.6, 1.0, 0.0, -5.0}, Case{300, 0.6, 1.0, 0.0, 5.0}));

}  // namespace
}  // namespace quorlind::bench
