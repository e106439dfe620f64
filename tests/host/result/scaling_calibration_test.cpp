// Coverage of the scaling ratio's interval: seeded series of alternating
// single-thread and all-threads runs with a known ratio, through
// result_scaling, on a steady machine and on one that loses 0.5 % a run.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "result/kind_runs.h"
#include "result_fixtures.h"

namespace quorlind::bench {
namespace {

constexpr int trials = 2000;
constexpr double true_ratio = 6.0;
constexpr double run_spread = 0.01;  // each run's rate, relative
constexpr double required_coverage = 0.93;

double normal_draw(std::mt19937_64& engine) {
    const double u1 = (static_cast<double>(engine() >> 11) + 0.5) * 0x1.0p-53;
    const double u2 = static_cast<double>(engine() >> 11) * 0x1.0p-53;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

double coverage(std::size_t pairs, double drift_per_run) {
    std::mt19937_64 engine(0x5ca1e000u + pairs * 10 + static_cast<std::uint64_t>(-drift_per_run * 1000));
    int covered = 0;
    for (int trial = 0; trial < trials; ++trial) {
        std::vector<RunRecord> runs;
        for (std::size_t i = 0; i < 2 * pairs; ++i) {
            const bool all = i % 2 == 1;
            const double level =
                (all ? true_ratio : 1.0) * 1e6 * std::exp(drift_per_run * static_cast<double>(i));
            runs.push_back(
                testing::completed_run(i, all ? QUORLIND_BENCHMARK_PER_CPU : QUORLIND_BENCHMARK_SINGLE,
                                       level * std::exp(run_spread * normal_draw(engine))));
        }
        const auto scaling = result_scaling(testing::test_result(runs, ThreadMode::both, pairs), 4u);
        const auto& interval = scaling->multi_core_ratio_interval;
        covered += interval && interval->low <= true_ratio && true_ratio <= interval->high ? 1 : 0;
    }
    return static_cast<double>(covered) / trials;
}

class ScalingCoverage : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ScalingCoverage, IntervalHoldsWithAndWithoutATrend) {
    const std::size_t pairs = GetParam();
    const double steady = coverage(pairs, 0.0);
    const double drifting = coverage(pairs, -0.005);
    const char* wanted = std::getenv("QUORLIND_CALIBRATION_TABLES");
    if (wanted != nullptr && std::string(wanted) == "1") {
        std::ostringstream row;
        row.setf(std::ios::fixed);
        row.precision(1);
        row << "| " << pairs << " | " << steady * 100 << " % | " << drifting * 100 << " % |\n";
        std::cout << row.str();
    }
    EXPECT_GE(steady, required_coverage);
    EXPECT_GE(drifting, required_coverage);
}

INSTANTIATE_TEST_SUITE_P(Calibration, ScalingCoverage, ::testing::Values(2, 3, 5, 10));

}  // namespace
}  // namespace quorlind::bench
