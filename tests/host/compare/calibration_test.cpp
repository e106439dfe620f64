// Calibration of compare's verdicts: seeded simulations of result files with
// known truth, run through compare_results itself. With
// QUORLIND_CALIBRATION_TABLES=1 the suite also prints the markdown tables
// that docs/compare.md shows (see there for the command).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
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
constexpr double allowed_error_rate = 0.035;
constexpr int null_trials = 1000;
constexpr int power_trials = 400;

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
    std::size_t base_runs = 3;
    std::size_t new_runs = 3;
    double base_spread = 0.01;  // run-to-run, relative standard deviation
    double new_spread = 0.01;
    double rho = 0.0;        // AR(1) of the one-second rates within a run
    double threshold = 2.0;  // percent
    double true_ratio = 1.0;
    int new_files = 1;
    int kinds = 1;
    int slowed_kinds = 2;  // of the kinds, how many (from the first) NEW's true ratio applies to
};

// Each scenario its own stream of draws, from all that defines it.
std::uint64_t seed_of(const Scenario& s) {
    std::uint64_t seed = 0x9e3779b97f4a7c15ull;
    for (const double value :
         {static_cast<double>(s.base_runs), static_cast<double>(s.new_runs), s.base_spread, s.new_spread,
          s.rho, s.threshold, s.true_ratio, static_cast<double>(s.new_files), static_cast<double>(s.kinds)}) {
        seed = (seed ^ static_cast<std::uint64_t>(std::llround(value * 1e6))) * 0x100000001b3ull;
    }
    return seed;
}

// One file's runs of one kind as the result model holds them: one-second
// intervals whose rates wander with AR(1) noise around the run's level, and
// a summary rate of all operations over all measured time.
std::vector<RunRecord> simulate_runs(Normal& normal, std::uint32_t benchmark, std::size_t runs, double level,
                                     double spread, double rho, std::size_t first_index) {
    std::vector<RunRecord> records;
    const double innovation = within_run_noise * std::sqrt(1.0 - rho * rho);
    for (std::size_t r = 0; r < runs; ++r) {
        const double run_level = level * std::exp(spread * normal());
        std::vector<QuorlindIntervalSample> samples;
        double noise = within_run_noise * normal();
        std::uint64_t operations = 0;
        for (int i = 0; i < intervals_per_run; ++i) {
            const auto ops = static_cast<std::uint64_t>(std::llround(run_level * (1.0 + noise)));
            samples.push_back(testing::sample(i + 1.0, 1.0, ops));
            operations += ops;
            noise = rho * noise + innovation * normal();
        }
        records.push_back(testing::completed_run(first_index + r, benchmark,
                                                 static_cast<double>(operations) / intervals_per_run,
                                                 std::move(samples)));
    }
    return records;
}

// Every simulated file comes from one machine (testing::test_system).
Result simulate_file(Normal& normal, std::size_t runs, double spread, double ratio,
                     const Scenario& scenario) {
    Result file;
    file.path = "simulated.json";
    file.schema_version_read = 2;
    file.record.warmup_seconds = 1.0;
    file.record.measurement_seconds = intervals_per_run;
    file.record.system = testing::test_system();
    const std::uint32_t benchmarks[] = {QUORLIND_BENCHMARK_SINGLE, QUORLIND_BENCHMARK_PER_CPU};
    for (int k = 0; k < scenario.kinds; ++k) {
        const double level = 1e7 * (k + 1) * (k < scenario.slowed_kinds ? ratio : 1.0);
        auto simulated =
            simulate_runs(normal, benchmarks[k], runs, level, spread, scenario.rho, file.record.runs.size());
        file.record.runs.insert(file.record.runs.end(), simulated.begin(), simulated.end());
    }
    return file;
}

struct Rates {
    double slower = 0.0;
    double faster = 0.0;
    double pass = 0.0;  // exit 0
    double inconclusive = 0.0;
};

// How often the comparison as a whole says slower, faster (any kind), passes
// or cannot decide, over seeded trials.
Rates verdict_rates(const Scenario& scenario, int trials, std::optional<double> detect = std::nullopt) {
    Normal normal(seed_of(scenario));
    ComparisonSettings settings;
    settings.threshold_percent = scenario.threshold;
    settings.detect_percent = detect;
    Rates counts;
    for (int trial = 0; trial < trials; ++trial) {
        std::vector<Result> files{
            simulate_file(normal, scenario.base_runs, scenario.base_spread, 1e7, scenario)};
        for (int f = 0; f < scenario.new_files; ++f) {
            files.push_back(simulate_file(normal, scenario.new_runs, scenario.new_spread,
                                          1e7 * scenario.true_ratio, scenario));
        }
        const Comparison comparison = compare_results(files, settings);
        const ComparisonOutcome outcome = outcome_of(comparison);
        counts.slower += outcome == ComparisonOutcome::slower ? 1 : 0;
        counts.pass += outcome == ComparisonOutcome::no_slowdown ? 1 : 0;
        counts.inconclusive += outcome == ComparisonOutcome::inconclusive ? 1 : 0;
        bool any_faster = false;
        for (const auto& pair : comparison.pairs) {
            for (const auto& kind : pair.kinds) {
                any_faster = any_faster || kind.verdict == Verdict::faster;
            }
        }
        counts.faster += any_faster ? 1 : 0;
    }
    const double n = trials;
    return {counts.slower / n, counts.faster / n, counts.pass / n, counts.inconclusive / n};
}

Scenario balanced(std::size_t runs, double spread, double rho, double threshold, double true_ratio = 1.0) {
    return {runs, runs, spread, spread, rho, threshold, true_ratio};
}

std::vector<Scenario> null_scenarios() {
    std::vector<Scenario> scenarios;
    for (const double threshold : {0.0, 2.0}) {
        for (const std::size_t runs : {1, 2, 3, 5}) {
            for (const double spread : {0.01, 0.03}) {
                for (const double rho : {0.0, 0.6}) {
                    scenarios.push_back(balanced(runs, spread, rho, threshold));
                }
            }
        }
        // One run against two, on one machine: the pooled case with df = 1.
        scenarios.push_back({1, 2, 0.01, 0.01, 0.0, threshold});
    }
    // Spreads three times apart both ways, at threshold 0 where it tells most.
    for (const auto& [base_runs, new_runs] :
         std::vector<std::pair<std::size_t, std::size_t>>{{2, 5}, {2, 10}, {3, 10}, {1, 5}}) {
        for (const bool quiet_few : {true, false}) {
            const double few = quiet_few ? 0.01 : 0.03;
            const double many = quiet_few ? 0.03 : 0.01;
            scenarios.push_back({base_runs, new_runs, few, many, 0.0, 0.0});
            scenarios.push_back({new_runs, base_runs, many, few, 0.0, 0.0});
        }
    }
    return scenarios;
}

std::string scenario_label(const Scenario& s) {
    std::ostringstream name;
    name << "threshold" << s.threshold << "_runs" << s.base_runs << "v" << s.new_runs << "_spread"
         << std::lround(s.base_spread * 100) << "v" << std::lround(s.new_spread * 100) << "pct_rho"
         << std::lround(s.rho * 10);
    return name.str();
}

std::string scenario_name(const ::testing::TestParamInfo<Scenario>& info) {
    return scenario_label(info.param);
}

// No true change: a false "slower" at most as often as the one-sided level
// promises, plus one point, also where the spreads differ threefold. One run
// per file never decides.
class NullCalibration : public ::testing::TestWithParam<Scenario> {};

TEST_P(NullCalibration, FalseSlowerRateStaysWithinTheOneSidedLevel) {
    const Scenario& scenario = GetParam();
    const Rates rates = verdict_rates(scenario, null_trials);
    EXPECT_LE(rates.slower, allowed_error_rate) << "false slower";
    EXPECT_LE(rates.faster, allowed_error_rate) << "false faster";
    if (scenario.base_runs == 1 && scenario.new_runs == 1) {
        EXPECT_EQ(rates.inconclusive, 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Compare, NullCalibration, ::testing::ValuesIn(null_scenarios()), scenario_name);

// A true slowdown of twice the threshold: exit 0 would be a false pass.
std::vector<Scenario> false_pass_scenarios() {
    std::vector<Scenario> scenarios{{1, 2, 0.02, 0.02, 0.0, 2.0, 0.96}};
    for (const std::size_t runs : {2, 3, 5}) {
        scenarios.push_back(balanced(runs, 0.02, 0.0, 2.0, 0.96));
    }
    return scenarios;
}

class FalsePassCalibration : public ::testing::TestWithParam<Scenario> {};

TEST_P(FalsePassCalibration, TwiceTheThresholdSlowerRarelyPasses) {
    EXPECT_LE(verdict_rates(GetParam(), null_trials).pass, allowed_error_rate);
}

INSTANTIATE_TEST_SUITE_P(Compare, FalsePassCalibration, ::testing::ValuesIn(false_pass_scenarios()),
                         scenario_name);

// Several NEW files and both kinds are one gate: Holm keeps the chance of
// any false "slower" among the six tests within the level.
TEST(FamilyCalibration, SixTestsTogetherKeepTheLevel) {
    Scenario six = balanced(3, 0.02, 0.0, 0.0);
    six.new_files = 3;
    six.kinds = 2;
    EXPECT_LE(verdict_rates(six, null_trials / 2).slower, allowed_error_rate);
}

// The hint's runs make its own slowdown come out slower 80 % of the time,
// with both kinds tested (Holm over two) and only one of them slowed.
TEST(PowerCalibration, TheHintsRunsReachItsPower) {
    const double spread = 0.02;
    ComparisonSettings settings;
    const auto runs = runs_for_power(spread, settings.detect_or_default() / 100.0, 0.02, 0.95, 2, hint_power);
    ASSERT_TRUE(runs);
    Scenario hinted = balanced(*runs, spread, 0.0, 2.0, 1.0 - settings.detect_or_default() / 100.0);
    hinted.kinds = 2;
    hinted.slowed_kinds = 1;
    EXPECT_GE(verdict_rates(hinted, power_trials).slower, hint_power - 0.03) << *runs << " runs";
}

// The tables in docs/compare.md, from the same simulations as the tests above.
// The tables in docs/compare.md, from the same simulations as the tests above.
TEST(CalibrationTables, PrintedOnRequest) {
    const char* wanted = std::getenv("QUORLIND_CALIBRATION_TABLES");
    if (wanted == nullptr || std::string(wanted) != "1") {
        GTEST_SKIP() << "set QUORLIND_CALIBRATION_TABLES=1 to print the tables";
    }
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(1);
    out << "\nNo true change (" << null_trials
        << " simulated comparisons each; nominal 2.5 %; one run per file is always inconclusive):\n\n"
        << "| threshold | runs BASE v NEW | run-to-run spread BASE v NEW | within-run ρ | false \"slower\" | "
           "exit 0 |\n"
        << "|---|---|---|---|---|---|\n";
    for (const Scenario& s : null_scenarios()) {
        if (s.base_runs == 1 && s.new_runs == 1) {
            continue;
        }
        const Rates rates = verdict_rates(s, null_trials);
        out << "| " << s.threshold << " % | " << s.base_runs << " v " << s.new_runs << " | "
            << s.base_spread * 100 << " % v " << s.new_spread * 100 << " % | " << s.rho << " | "
            << rates.slower * 100 << " % | " << rates.pass * 100 << " % |\n";
    }
    out << "\nA true 4 % slowdown at threshold 2 %, run-to-run spread 2 % (" << null_trials
        << " each): how often it passes (exit 0, false) and is called slower:\n\n"
        << "| runs BASE v NEW | exit 0 | slower |\n|---|---|---|\n";
    for (const Scenario& s : false_pass_scenarios()) {
        const Rates rates = verdict_rates(s, null_trials);
        out << "| " << s.base_runs << " v " << s.new_runs << " | " << rates.pass * 100 << " % | "
            << rates.slower * 100 << " % |\n";
    }
    Scenario six = balanced(3, 0.02, 0.0, 0.0);
    six.new_files = 3;
    six.kinds = 2;
    out << "\nThree NEW files, both kinds (six tests), 3 runs each, 2 % spread, threshold 0: any false "
           "\"slower\" in "
        << verdict_rates(six, null_trials / 2).slower * 100 << " % of " << null_trials / 2
        << " simulated comparisons.\n";
    for (const double spread : {0.01, 0.03}) {
        out << "\nChance of \"slower\" for a true slowdown, threshold 2 %, run-to-run spread " << spread * 100
            << " % (" << power_trials
            << " simulated comparisons each), one test (one kind) and two (--threads "
            << "both, Holm over both kinds, the second unchanged):\n\n"
            << "| true slowdown | 3 runs, 1 test | 3 runs, 2 tests | 5 runs, 1 test | 5 runs, 2 tests | 10 "
               "runs, 1 "
               "test | 10 runs, 2 tests |\n"
            << "|---|---|---|---|---|---|---|\n";
        for (const double effect : {0.02, 0.05, 0.10}) {
            out << "| " << effect * 100 << " % |";
            for (const std::size_t runs : {3, 5, 10}) {
                for (const int kinds : {1, 2}) {
                    Scenario s = balanced(runs, spread, 0.0, 2.0, 1.0 - effect);
                    s.kinds = kinds;
                    s.slowed_kinds = 1;
                    out << " " << verdict_rates(s, power_trials).slower * 100 << " % |";
                }
            }
            out << '\n';
        }
    }
    out << "\nThe repeats hint against the simulation, both kinds tested, default --detect (4 %), threshold "
           "2 "
           "%, the all-threads kind unchanged:\n\n| run-to-run spread | runs the hint names | \"slower\" at "
           "that many runs "
           "|\n|---|---|---|\n";
    for (const double spread : {0.01, 0.02, 0.03}) {
        const auto runs = runs_for_power(spread, 0.04, 0.02, 0.95, 2, hint_power);
        Scenario s = balanced(*runs, spread, 0.0, 2.0, 0.96);
        s.kinds = 2;
        s.slowed_kinds = 1;
        out << "| " << spread * 100 << " % | " << *runs << " | "
            << verdict_rates(s, power_trials).slower * 100 << " % |\n";
    }
    std::cout << out.str();
}

}  // namespace
}  // namespace quorlind::bench
