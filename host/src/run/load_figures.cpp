#include "run/load_figures.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quorlind::bench {
namespace {

// A counter that went backwards wrapped or was reset: its change is unknown.
std::optional<std::uint64_t> counter_change(const std::optional<std::uint64_t>& from,
                                            const std::optional<std::uint64_t>& to) {
    if (!from || !to || *to < *from) {
        return std::nullopt;
    }
    return *to - *from;
}

// The change of one worker counter summed over all workers; unknown as soon
// as one worker's is, since a share of some workers is no share of the run.
std::optional<std::uint64_t> workers_change(const LoadReading& from, const LoadReading& to,
                                            std::uint32_t workers,
                                            std::optional<std::uint64_t> WorkerReading::*counter) {
    if (workers == 0 || from.workers.size() < workers || to.workers.size() < workers) {
        return std::nullopt;
    }
    std::uint64_t sum = 0;
    for (std::uint32_t i = 0; i < workers; ++i) {
        if (!from.workers[i] || !to.workers[i]) {
            return std::nullopt;
        }
        const auto change = counter_change((*from.workers[i]).*counter, (*to.workers[i]).*counter);
        if (!change) {
            return std::nullopt;
        }
        sum += *change;
    }
    return sum;
}

std::optional<double> mean_of(const std::optional<double>& a, const std::optional<double>& b) {
    if (a && b) {
        return (*a + *b) / 2.0;
    }
    return a ? a : b;
}

std::optional<double> max_of(const std::optional<double>& a, const std::optional<double>& b) {
    if (a && b) {
        return std::max(*a, *b);
    }
    return a ? a : b;
}

// Index of the reading nearest to `seconds`, if one lies within the tolerance.
std::optional<std::size_t> nearest_reading(const std::vector<const LoadReading*>& readings, double seconds,
                                           double tolerance_seconds) {
    std::optional<std::size_t> best;
    double best_distance = tolerance_seconds;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const double distance = std::abs(readings[i]->elapsed_seconds - seconds);
        if (distance <= best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}

}  // namespace

LoadFigures figures_between(const LoadReading& from, const LoadReading& to, std::uint32_t workers) {
    LoadFigures figures;
    const double span_seconds = to.wall_seconds - from.wall_seconds;
    if (!(span_seconds > 0.0)) {
        return figures;
    }
    const double span_nanos = span_seconds * 1e9;
    if (const auto run = workers_change(from, to, workers, &WorkerReading::run_nanos)) {
        figures.worker_cpu_seconds = static_cast<double>(*run) / 1e9;
        // The host's clock and the kernel's accounting differ by a tick.
        figures.worker_cpu_share = std::min(1.0, static_cast<double>(*run) / (span_nanos * workers));
    }
    if (const auto wait = workers_change(from, to, workers, &WorkerReading::wait_nanos)) {
        figures.runqueue_wait_share = std::min(1.0, static_cast<double>(*wait) / (span_nanos * workers));
    }
    figures.involuntary_switches = workers_change(from, to, workers, &WorkerReading::involuntary_switches);
    const auto busy = counter_change(from.machine_busy_nanos, to.machine_busy_nanos);
    const auto own = counter_change(from.process_nanos, to.process_nanos);
    if (busy && own) {
        // Both are counted in ticks, so a quiet machine can read a tick below zero.
        figures.other_processes_cpus =
            std::max(0.0, (static_cast<double>(*busy) - static_cast<double>(*own)) / span_nanos);
    }
    const auto total = counter_change(from.machine_total_nanos, to.machine_total_nanos);
    const auto steal = counter_change(from.machine_steal_nanos, to.machine_steal_nanos);
    if (total && steal && *total > 0) {
        figures.steal_share = std::min(1.0, static_cast<double>(*steal) / static_cast<double>(*total));
    }
    figures.clock_mhz = mean_of(from.clock_mhz, to.clock_mhz);
    figures.temperature_celsius = max_of(from.temperature_celsius, to.temperature_celsius);
    return figures;
}

RunLoad align_readings(const std::vector<LoadReading>& readings,
                       const std::vector<QuorlindIntervalSample>& samples, std::uint32_t workers,
                       double tolerance_seconds) {
    RunLoad load;
    std::vector<const LoadReading*> measured;
    const LoadReading* warmup_start = nullptr;
    for (const LoadReading& reading : readings) {
        if (reading.phase == QUORLIND_PHASE_MEASUREMENT) {
            measured.push_back(&reading);
        } else if (reading.phase == QUORLIND_PHASE_WARMUP && warmup_start == nullptr) {
            warmup_start = &reading;
        }
    }
    if (warmup_start != nullptr && !measured.empty()) {
        load.warmup = figures_between(*warmup_start, *measured.front(), workers);
    }

    std::vector<std::optional<std::size_t>> boundary(samples.size() + 1);
    for (std::size_t k = 0; k < boundary.size(); ++k) {
        const double seconds = k == 0 ? 0.0 : samples[k - 1].end_seconds;
        boundary[k] = nearest_reading(measured, seconds, tolerance_seconds);
        if (boundary[k]) {
            load.alignment_seconds =
                std::max(load.alignment_seconds, std::abs(measured[*boundary[k]]->elapsed_seconds - seconds));
        }
    }

    double clock_weighted = 0.0;
    double clock_seconds = 0.0;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        LoadFigures figures;
        // Intervals shorter than the readings' spacing share a reading on both sides.
        if (boundary[k] && boundary[k + 1] && *boundary[k + 1] > *boundary[k]) {
            figures = figures_between(*measured[*boundary[k]], *measured[*boundary[k + 1]], workers);
        }
        if (figures.clock_mhz) {
            clock_weighted += *figures.clock_mhz * samples[k].duration_seconds;
            clock_seconds += samples[k].duration_seconds;
        }
        load.measurement.temperature_celsius =
            max_of(load.measurement.temperature_celsius, figures.temperature_celsius);
        load.intervals.push_back(figures);
    }

    const auto first =
        std::find_if(boundary.begin(), boundary.end(), [](const auto& b) { return b.has_value(); });
    const auto last =
        std::find_if(boundary.rbegin(), boundary.rend(), [](const auto& b) { return b.has_value(); });
    if (!samples.empty() && first != boundary.end() && **last > **first) {
        const auto temperature = load.measurement.temperature_celsius;
        load.measurement = figures_between(*measured[**first], *measured[**last], workers);
        load.measurement.temperature_celsius = temperature;
        // Processor time over part of the window would overstate the second throughput.
        if (!boundary.front() || !boundary.back()) {
            load.measurement.worker_cpu_seconds.reset();
        }
    }
    load.measurement.clock_mhz =
        clock_seconds > 0.0 ? std::optional<double>(clock_weighted / clock_seconds) : std::nullopt;
    return load;
}

}  // namespace quorlind::bench
