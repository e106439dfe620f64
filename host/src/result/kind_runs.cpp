#include "result/kind_runs.h"

#include <algorithm>

namespace quorlind::bench {

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

std::optional<Scaling> result_scaling(const ResultRecord& result, std::optional<unsigned> physical_cores) {
    const auto single = kind_statistics(result, QUORLIND_BENCHMARK_SINGLE);
    const auto all = kind_statistics(result, QUORLIND_BENCHMARK_PER_CPU);
    if (!single || !all || !single->median || !all->median) {
        return std::nullopt;
    }
    const auto done = [](const RunRecord& run, std::uint32_t benchmark) {
        return run.config.benchmark == benchmark && run.summary.status == QUORLIND_STATUS_COMPLETED;
    };
    std::vector<double> ratios;
    unsigned workers = 0;
    for (std::size_t i = 0; i + 1 < result.runs.size(); i += 2) {
        const RunRecord& first = result.runs[i];
        const RunRecord& second = result.runs[i + 1];
        if (done(first, QUORLIND_BENCHMARK_SINGLE) && done(second, QUORLIND_BENCHMARK_PER_CPU) &&
            first.summary.ops_per_second > 0.0) {
            ratios.push_back(second.summary.ops_per_second / first.summary.ops_per_second);
            workers = std::max(workers, second.summary.workers);
        }
    }
    if (ratios.empty()) {
        for (const RunRecord& run : result.runs) {
            if (done(run, QUORLIND_BENCHMARK_PER_CPU)) {
                workers = std::max(workers, run.summary.workers);
            }
        }
    }
    // Files from before the library reported workers hold none; the online
    // processors were all the runs had then.
    if (workers == 0) {
        workers = result.system.logical_processors;
    }
    std::vector<PositionedRate> rates;
    for (std::size_t i = 0; i < result.runs.size(); ++i) {
        const RunRecord& run = result.runs[i];
        for (const std::uint32_t benchmark : {QUORLIND_BENCHMARK_SINGLE, QUORLIND_BENCHMARK_PER_CPU}) {
            if (done(run, benchmark)) {
                rates.push_back({static_cast<double>(i), benchmark == QUORLIND_BENCHMARK_PER_CPU,
                                 run.summary.ops_per_second});
            }
        }
    }
    // A lone pair has no spread to judge by: its plain ratio, without an interval.
    const auto fitted = ratios.size() < 2 ? std::nullopt : trend_cancelling_ratio(rates);
    const auto paired = fitted ? fitted : paired_ratio(ratios);
    auto scaling =
        paired ? compute_scaling(1.0, paired->ratio, workers, physical_cores, result.system.topology.smt)
               : compute_scaling(*single->median, *all->median, workers, physical_cores,
                                 result.system.topology.smt);
    if (scaling && paired) {
        scaling->multi_core_ratio_interval = paired->interval;
        scaling->pairs = ratios.size();
    }
    return scaling;
}

}  // namespace quorlind::bench
