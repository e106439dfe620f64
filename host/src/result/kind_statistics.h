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

// One core against all, from the two median throughputs.
struct Scaling {
    double multi_core_ratio = 0.0;                       // all / single
    double efficiency_per_logical_processor = 0.0;       // ratio / logical processors
    std::optional<double> efficiency_per_physical_core;  // ratio / physical cores
    // What SMT adds over one thread per core scaling perfectly: the per-core
    // efficiency less one. Empty without SMT or without a known topology.
    std::optional<double> smt_gain;
};

std::optional<Scaling> compute_scaling(double single_rate, double all_rate, unsigned logical_processors,
                                       std::optional<unsigned> physical_cores, std::optional<bool> smt);

// Empty unless both kinds have a completed run.
std::optional<Scaling> result_scaling(const ResultRecord& result);

}  // namespace quorlind::bench
