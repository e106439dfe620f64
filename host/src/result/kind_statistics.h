#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "result/run_record.h"
#include "stats/statistics.h"

namespace quorlind::bench {

// The runs of one kind in the order they ran, and those of them that
// completed: the only runs any figure of the kind is measured over.
struct KindRuns {
    std::vector<const RunRecord*> started;
    std::vector<const RunRecord*> completed;
};

KindRuns runs_of_kind(const std::vector<RunRecord>& runs, std::uint32_t benchmark);

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

// Empty when no run of that kind started.
std::optional<KindStatistics> kind_statistics(const ResultRecord& result, std::uint32_t benchmark);

// One core against all. With --threads both the plan alternates single and
// all, so each all-threads run is paired with the single-thread run just
// before it: the two saw the machine in nearly the same state, and the
// spread of the paired ratios says how sure the ratio is.
struct Scaling {
    double multi_core_ratio = 0.0;  // all / single: geometric mean of the paired ratios
    // 95 %, Student's t on the logs of the paired ratios with pairs - 1
    // degrees of freedom; empty with fewer than two pairs.
    std::optional<Interval> multi_core_ratio_interval;
    // Completed pairs the ratio is from; 0 when no pair completed and the
    // ratio is that of the two medians.
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

// Empty unless both kinds have a completed run. physical_cores: the cores
// the runs could use, where known.
std::optional<Scaling> result_scaling(const ResultRecord& result, std::optional<unsigned> physical_cores);

}  // namespace quorlind::bench
