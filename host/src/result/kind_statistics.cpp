#include "result/kind_statistics.h"

#include <algorithm>
#include <vector>

namespace quorlind::bench {

KindStatistics summarize_throughputs(std::size_t runs, std::span<const double> completed_throughputs) {
    KindStatistics statistics;
    statistics.runs = runs;
    statistics.completed = completed_throughputs.size();
    statistics.median = median(completed_throughputs);
    statistics.mean = mean(completed_throughputs);
    if (!completed_throughputs.empty()) {
        const auto [low, high] =
            std::minmax_element(completed_throughputs.begin(), completed_throughputs.end());
        statistics.minimum = *low;
        statistics.maximum = *high;
    }
    statistics.ci95 = mean_confidence_interval(completed_throughputs, 0.95);
    statistics.cv_percent = coefficient_of_variation_percent(completed_throughputs);
    return statistics;
}

KindRuns runs_of_kind(const std::vector<RunRecord>& runs, std::uint32_t benchmark) {
    KindRuns kind;
    for (const auto& run : runs) {
        if (run.config.benchmark != benchmark) {
            continue;
        }
        kind.started.push_back(&run);
        if (run.summary.status == QUORLIND_STATUS_COMPLETED) {
            kind.completed.push_back(&run);
        }
    }
    return kind;
}

std::optional<KindStatistics> kind_statistics(const ResultRecord& result, std::uint32_t benchmark) {
    const KindRuns runs = runs_of_kind(result.runs, benchmark);
    if (runs.started.empty()) {
        return std::nullopt;
    }
    std::vector<double> throughputs;
    for (const RunRecord* run : runs.completed) {
        throughputs.push_back(run->summary.ops_per_second);
    }
    return summarize_throughputs(runs.started.size(), throughputs);
}

std::optional<Scaling> compute_scaling(double single_rate, double all_rate, unsigned logical_processors,
                                       std::optional<unsigned> physical_cores, std::optional<bool> smt) {
    if (!(single_rate > 0.0) || !(all_rate >= 0.0) || logical_processors == 0) {
        return std::nullopt;
    }
    Scaling scaling;
    scaling.multi_core_ratio = all_rate / single_rate;
    scaling.efficiency_per_logical_processor = scaling.multi_core_ratio / logical_processors;
    if (physical_cores && *physical_cores > 0) {
        scaling.efficiency_per_physical_core = scaling.multi_core_ratio / *physical_cores;
        if (smt.value_or(false)) {
            scaling.smt_gain = *scaling.efficiency_per_physical_core - 1.0;
        }
    }
    return scaling;
}

std::optional<Scaling> result_scaling(const ResultRecord& result) {
    const auto single = kind_statistics(result, QUORLIND_BENCHMARK_SINGLE);
    const auto all = kind_statistics(result, QUORLIND_BENCHMARK_PER_CPU);
    if (!single || !all || !single->median || !all->median) {
        return std::nullopt;
    }
    return compute_scaling(*single->median, *all->median, result.system.logical_processors,
                           result.system.topology.physical_cores, result.system.topology.smt);
}

}  // namespace quorlind::bench
