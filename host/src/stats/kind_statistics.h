#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "stats/statistics.h"

namespace quorlind::bench {

// Run-to-run figures for one kind of run, over the throughputs of its
// completed runs; cancelled and failed runs are counted but not measured.
struct KindStatistics {
    std::size_t runs = 0;
    std::size_t completed = 0;
    std::optional<double> median;
    std::optional<double> minimum;
    std::optional<double> maximum;
    std::optional<double> mean;
    std::optional<Interval> ci95;  // of the mean, Student's t with completed - 1 df
    std::optional<double> cv_percent;
};

KindStatistics summarize_throughputs(std::size_t runs, std::span<const double> completed_throughputs);

// One core against all. With --threads both the plan alternates single and
// all. A machine that drifts steadily (heat, a clock stepping down) would
// lean a ratio of neighbours by one run's worth of drift, so the ratio comes
// from a fit of the log throughputs on the kind and the run's position
// together: a linear trend across the series cancels exactly.
struct Scaling {
    double multi_core_ratio = 0.0;  // all / single, net of a linear trend (trend_cancelling_ratio)
    // 95 %, Student's t with runs - 3 degrees of freedom; empty below four
    // completed runs, where a single pair gives its plain ratio.
    std::optional<Interval> multi_core_ratio_interval;
    // Completed all-threads runs just after a completed single-thread run;
    // 0 when no pair completed and the ratio is that of the two medians.
    std::size_t pairs = 0;
    unsigned workers = 0;  // the all-threads runs' workers, which follow the affinity mask
    double efficiency_per_logical_processor = 0.0;       // ratio / workers
    std::optional<unsigned> physical_cores;              // those the run could use, where known
    std::optional<double> efficiency_per_physical_core;  // ratio / physical cores
    // What SMT adds over one thread per core scaling perfectly: the per-core
    // efficiency less one. Empty without SMT or without a known topology.
    std::optional<double> smt_gain;
};

// The ratio and efficiencies from one all / single ratio.
std::optional<Scaling> compute_scaling(double single_rate, double all_rate, unsigned workers,
                                       std::optional<unsigned> physical_cores, std::optional<bool> smt);

// The geometric mean of all / single ratios and, from two on, its interval.
struct PairedRatio {
    double ratio = 0.0;
    std::optional<Interval> interval;
};
std::optional<PairedRatio> paired_ratio(std::span<const double> ratios, double confidence = 0.95);

// A completed run's throughput and place in the series.
struct PositionedRate {
    double position = 0.0;  // the run's index
    bool all_threads = false;
    double ops_per_second = 0.0;
};

// log rate = level + log(ratio) [all-threads] + slope * position, by least
// squares, with its interval from Student's t on runs - 3 degrees of
// freedom. Empty without a run of each kind, with a rate that is not
// positive, or with fewer than four runs.
std::optional<PairedRatio> trend_cancelling_ratio(std::span<const PositionedRate> runs,
                                                  double confidence = 0.95);

}  // namespace quorlind::bench
