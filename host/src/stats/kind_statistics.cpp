#include "stats/kind_statistics.h"

#include <algorithm>
#include <cmath>
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

std::optional<Scaling> compute_scaling(double single_rate, double all_rate, unsigned workers,
                                       std::optional<unsigned> physical_cores, std::optional<bool> smt) {
    if (!(single_rate > 0.0) || !(all_rate >= 0.0) || workers == 0) {
        return std::nullopt;
    }
    Scaling scaling;
    scaling.multi_core_ratio = all_rate / single_rate;
    scaling.workers = workers;
    scaling.efficiency_per_logical_processor = scaling.multi_core_ratio / workers;
    if (physical_cores && *physical_cores > 0) {
        scaling.physical_cores = physical_cores;
        scaling.efficiency_per_physical_core = scaling.multi_core_ratio / *physical_cores;
        if (smt.value_or(false)) {
            scaling.smt_gain = *scaling.efficiency_per_physical_core - 1.0;
        }
    }
    return scaling;
}

std::optional<PairedRatio> paired_ratio(std::span<const double> ratios, double confidence) {
    std::vector<double> logs;
    for (const double ratio : ratios) {
        if (!(ratio > 0.0) || !std::isfinite(ratio)) {
            return std::nullopt;
        }
        logs.push_back(std::log(ratio));
    }
    const auto centre = mean(logs);
    if (!centre) {
        return std::nullopt;
    }
    PairedRatio paired;
    paired.ratio = std::exp(*centre);
    if (const auto interval = mean_confidence_interval(logs, confidence)) {
        paired.interval = Interval{std::exp(interval->low), std::exp(interval->high)};
    }
    return paired;
}

std::optional<PairedRatio> trend_cancelling_ratio(std::span<const PositionedRate> runs, double confidence) {
    const double n = static_cast<double>(runs.size());
    if (runs.size() < 4) {
        return std::nullopt;
    }
    double mean_y = 0.0;
    double mean_a = 0.0;
    double mean_p = 0.0;
    for (const auto& run : runs) {
        if (!(run.ops_per_second > 0.0) || !std::isfinite(run.ops_per_second)) {
            return std::nullopt;
        }
        mean_y += std::log(run.ops_per_second) / n;
        mean_a += (run.all_threads ? 1.0 : 0.0) / n;
        mean_p += run.position / n;
    }
    double saa = 0.0;
    double spp = 0.0;
    double sap = 0.0;
    double say = 0.0;
    double spy = 0.0;
    for (const auto& run : runs) {
        const double a = (run.all_threads ? 1.0 : 0.0) - mean_a;
        const double p = run.position - mean_p;
        const double y = std::log(run.ops_per_second) - mean_y;
        saa += a * a;
        spp += p * p;
        sap += a * p;
        say += a * y;
        spy += p * y;
    }
    const double determinant = saa * spp - sap * sap;
    if (!(determinant > 1e-12 * saa * spp)) {
        return std::nullopt;  // one kind only, or kind and position inseparable
    }
    const double log_ratio = (spp * say - sap * spy) / determinant;
    const double slope = (saa * spy - sap * say) / determinant;
    double squares = 0.0;
    for (const auto& run : runs) {
        const double residual = std::log(run.ops_per_second) - mean_y -
                                log_ratio * ((run.all_threads ? 1.0 : 0.0) - mean_a) -
                                slope * (run.position - mean_p);
        squares += residual * residual;
    }
    const double df = n - 3.0;
    const double standard_error = std::sqrt(squares / df * spp / determinant);
    const double half_width = student_t_quantile((1.0 + confidence) / 2.0, df) * standard_error;
    return PairedRatio{std::exp(log_ratio),
                       Interval{std::exp(log_ratio - half_width), std::exp(log_ratio + half_width)}};
}

}  // namespace quorlind::bench
