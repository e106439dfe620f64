// Calibration of compare's verdicts: seeded simulations of result files with
// known truth, run through compare_results itself. With
// QUORLIND_CALIBRATION_TABLES=1 the suite also prints the markdown tables
// that docs/compare.md shows (see there for the command).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "compare/comparison.h"
#include "result_fixtures.h"

namespace quorlind::bench {
namespace {

constexpr int intervals_per_run = 60;
constexpr double within_run_noise = 0.01;  // each one-second rate, relative
constexpr double nominal_one_sided = 0.025;
constexpr int null_trials = 1500;
constexpr int power_trials = 500;

// Box-Muller on a fixed engine, so every platform draws the same numbers.
class Normal {
public:
    explicit Normal(std::uint64_t seed) : engine_(seed) {}
    double operator()() {
        const double u1 = (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53;
        const double u2 = static_cast<double>(engine_() >> 11) * 0x1.0p-53;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    std::mt19937_64 engine_;
};

struct Scenario {
    std::size_t runs = 3;    // per file
    double spread = 0.01;    // run-to-run, relative standard deviation
    double rho = 0.0;        // AR(1) of the one-second rates within a run
    double threshold = 2.0;  // percent
    double true_ratio = 1.0;
};

// One file's runs of one kind as the result model holds them: one-second
// intervals whose rates wander with AR(1) noise around the run's level, and
// a summary rate of all operations over all measured time.
std::vector<RunRecord> simulate_runs(Normal& normal, std::uint32_t benchmark, std::size_t runs, double level,
                                     const Scenario& scenario, std::size_t first_index) {
    std::vector<RunRecord> records;
    const double innovation = within_run_noise * std::sqrt(1.0 - scenario.rho * scenario.rho);
    for (std::size_t r = 0; r < runs; ++r) {
        const double run_level = level * std::exp(scenario.spread * normal());
        std::vector<QuorlindIntervalSample> samples;
        double noise = within_run_noise * normal();
        std::uint64_t operations = 0;
        for (int i = 0; i < intervals_per_run; ++i) {
            const auto ops = static_cast<std::uint64_t>(std::llround(run_level * (1.0 + noise)));
            samples.push_back(testing::sample(i + 1.0, 1.0, ops));
            operations += ops;
            noise = scenario.rho * noise + innovation * normal();
        }
        records.push_back(testing::completed_run(first_index + r, benchmark,
                                                 static_cast<double>(operations) / intervals_per_run,
                                                 std::move(samples)));
    }
    return records;
}

Result simulate_file(Normal& normal, const Scenario& scenario, double level, int kinds) {
    Result file;
    file.path = "simulated.json";
    file.schema_version_read = 2;
    file.record.warmup_seconds = 1.0;
    file.record.measurement_seconds = intervals_per_run;
    const std::uint32_t benchmarks[] = {QUORLIND_BENCHMARK_SINGLE, QUORLIND_BENCHMARK_PER_CPU};
    for (int k = 0; k < kinds; ++k) {
        auto runs = simulate_runs(normal, benchmarks[k], scenario.runs, level * (k + 1), scenario,
                                  file.record.runs.size());
        file.record.runs.insert(file.record.runs.end(), runs.begin(), runs.end());
    }
    return file;
}

struct Rates {
    double slower = 0.0;
    double faster = 0.0;
    double inconclusive = 0.0;
};

// How often the comparison as a whole says slower, faster (any kind), or
// cannot decide, over seeded trials of BASE against new_files NEW files.
Rates verdict_rates(const Scenario& scenario, int trials, std::uint64_t seed, int new_files = 1,
                    int kinds = 1) {
    Normal normal(seed);
    ComparisonSettings settings;
    settings.threshold_percent = scenario.threshold;
    int slower = 0;
    int faster = 0;
    int inconclusive = 0;
    for (int trial = 0; trial < trials; ++trial) {
        std::vector<Result> files{simulate_file(normal, scenario, 1e7, kinds)};
        for (int f = 0; f < new_files; ++f) {
            files.push_back(simulate_file(normal, scenario, 1e7 * scenario.true_ratio, kinds));
        }
        const Comparison comparison = compare_results(files, settings);
        const ComparisonOutcome outcome = outcome_of(comparison);
        slower += outcome == ComparisonOutcome::slower ? 1 : 0;
        inconclusive += outcome == ComparisonOutcome::inconclusive ? 1 : 0;
        bool any_faster = false;
        for (const auto& pair : comparison.pairs) {
            for (const auto& kind : pair.kinds) {
                any_faster = any_faster || kind.verdict == Verdict::faster;
            }
        }
        faster += any_faster ? 1 : 0;
    }
    const double n = trials;
    return {slower / n, faster / n, inconclusive / n};
}

std::vector<Scenario> null_scenarios() {
    std::vector<Scenario> scenarios;
    for (const double threshold : {0.0, 2.0}) {
        for (const std::size_t runs : {1, 2, 3, 5}) {
            for (const double spread : {0.01, 0.03}) {
                for (const double rho : {0.0, 0.6}) {
                    scenarios.push_back({runs, spread, rho, threshold, 1.0});
                }
            }
        }
    }
    return scenarios;
}

std::string scenario_name(const ::testing::TestParamInfo<Scenario>& info) {
    const Scenario& s = info.param;
    std::ostringstream name;
    name << "threshold" << s.threshold << "_runs" << s.runs << "_spread" << std::lround(s.spread * 100)
         << "pct_rho" << std::lround(s.rho * 10);
    return name.str();
}

// No true change: a false "slower" at most as often as the one-sided level
// promises, plus one point. One run per file must not decide at all.
class NullCalibration : public ::testing::TestWithParam<Scenario> {};

TEST_P(NullCalibration, FalseSlowerRateStaysWithinTheOneSidedLevel) {
    const Scenario& scenario = GetParam();
    const Rates rates = verdict_rates(scenario, null_trials, 20 + scenario.runs);
    EXPECT_LE(rates.slower, nominal_one_sided + 0.01) << "false slower";
    EXPECT_LE(rates.faster, nominal_one_sided + 0.01) << "false faster";
    if (scenario.runs == 1) {
        EXPECT_EQ(rates.inconclusive, 1.0);
    } else {
        EXPECT_EQ(rates.inconclusive, 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Compare, NullCalibration, ::testing::ValuesIn(null_scenarios()), scenario_name);

// Several NEW files and both kinds are one gate: Holm keeps the chance of
// any false "slower" among the six tests within the level.
TEST(FamilyCalibration, SixTestsTogetherKeepTheLevel) {
    const Rates rates = verdict_rates({3, 0.02, 0.0, 0.0, 1.0}, null_trials / 2, 77, 3, 2);
    EXPECT_LE(rates.slower, nominal_one_sided + 0.01);
}

// A real 10 % slowdown, 3 runs per file with 1 % spread, is found.
TEST(PowerCalibration, TenPercentSlowdownWithThreeRunsIsCalledSlower) {
    const Rates rates = verdict_rates({3, 0.01, 0.0, 2.0, 0.90}, power_trials, 99);
    EXPECT_GE(rates.slower, 0.95);
}

// The tables in docs/compare.md, from the same simulations as the tests above.
TEST(CalibrationTables, PrintedOnRequest) {
    const char* wanted = std::getenv("QUORLIND_CALIBRATION_TABLES");
    if (wanted == nullptr || std::string(wanted) != "1") {
        GTEST_SKIP() << "set QUORLIND_CALIBRATION_TABLES=1 to print the tables";
    }
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(1);
    out << "\nFalse \"slower\" rate with no true change (" << null_trials
        << " simulated pairs each; nominal 2.5 %; one run per file is always inconclusive):\n\n"
        << "| threshold | runs per file | run-to-run spread | within-run ρ | false \"slower\" |\n"
        << "|---|---|---|---|---|\n";
    for (const Scenario& s : null_scenarios()) {
        if (s.runs == 1) {
            continue;
        }
        const Rates rates = verdict_rates(s, null_trials, 20 + s.runs);
        out << "| " << s.threshold << " % | " << s.runs << " | " << s.spread * 100 << " % | " << s.rho
            << " | " << rates.slower * 100 << " % |\n";
    }
    const Rates family = verdict_rates({3, 0.02, 0.0, 0.0, 1.0}, null_trials / 2, 77, 3, 2);
    out << "\nThree NEW files, both kinds (six tests), 3 runs each, 2 % spread, threshold 0: any false "
           "\"slower\" in "
        << family.slower * 100 << " % of " << null_trials / 2 << " simulated comparisons.\n";
    for (const double spread : {0.01, 0.03}) {
        out << "\nChance of \"slower\" for a true slowdown, threshold 2 %, run-to-run spread " << spread * 100
            << " % (" << power_trials << " simulated pairs each):\n\n"
            << "| true slowdown | 3 runs per file | 5 runs per file | 10 runs per file |\n"
            << "|---|---|---|---|\n";
        for (const double effect : {0.02, 0.05, 0.10}) {
            out << "| " << effect * 100 << " % |";
            for (const std::size_t runs : {3, 5, 10}) {
                const Rates rates =
                    verdict_rates({runs, spread, 0.0, 2.0, 1.0 - effect}, power_trials, 5 + runs);
                out << " " << rates.slower * 100 << " % |";
            }
            out << '\n';
        }
    }
    std::cout << out.str();
}

}  // namespace
}  // namespace quorlind::bench
