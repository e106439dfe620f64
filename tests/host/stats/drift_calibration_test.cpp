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

constexpr int intervals = 60;
constexpr int trials = 20000;

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
    double rho;            // lag-1 autocorrelation of the interval noise
    double noise_percent;  // its standard deviation, relative to the rate
    double trend_percent;  // the true change over the run
};

struct Rates {
    double drift = 0.0;        // labelled drift
    double significant = 0.0;  // slope significant, whatever its size
};

Rates simulate(const Case& c, std::uint64_t seed) {
    Normal normal(seed);
    const double innovation = std::sqrt(1.0 - c.rho * c.rho);
    int drift = 0;
    int significant = 0;
    std::vector<QuorlindIntervalSample> samples(intervals);
    for (int trial = 0; trial < trials; ++trial) {
        double noise = normal.next();
        for (int i = 0; i < intervals; ++i) {
            if (i > 0) {
                noise = c.rho * noise + innovation * normal.next();
            }
            const double middle = (i + 0.5) / intervals - 0.5;
            const double rate =
                1e6 * (1.0 + c.trend_percent / 100.0 * middle + c.noise_percent / 100.0 * noise);
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
        std::printf("| %.1f | %.0f %% | %+.0f %% | %.1f %% | %.1f %% |\n", c.rho, c.noise_percent,
                    c.trend_percent, rates.drift * 100.0, rates.significant * 100.0);
    }
}

class DriftNull : public ::testing::TestWithParam<Case> {};

TEST_P(DriftNull, NoTrendIsRarelyCalledDrift) {
    const Case c = GetParam();
    const Rates rates =
        simulate(c, 0x5eed0000u + static_cast<std::uint64_t>(c.rho * 10 + c.noise_percent * 100));
    print_row(c, rates);
    EXPECT_LE(rates.drift, 0.07);
}

INSTANTIATE_TEST_SUITE_P(Calibration, DriftNull,
                         ::testing::Values(Case{0.0, 1.0, 0.0}, Case{0.3, 1.0, 0.0}, Case{0.6, 1.0, 0.0},
                                           Case{0.0, 3.0, 0.0}, Case{0.3, 3.0, 0.0}, Case{0.6, 3.0, 0.0}));

class DriftPower : public ::testing::TestWithParam<Case> {};

TEST_P(DriftPower, RealTrendIsCalledDrift) {
    const Case c = GetParam();
    const Rates rates = simulate(c, 0xd21f7u + static_cast<std::uint64_t>(-c.trend_percent));
    print_row(c, rates);
    EXPECT_GE(rates.drift, 0.90);
}

INSTANTIATE_TEST_SUITE_P(Calibration, DriftPower,
                         ::testing::Values(Case{0.0, 1.0, -5.0}, Case{0.0, 1.0, 5.0}));

}  // namespace
}  // namespace quorlind::bench
