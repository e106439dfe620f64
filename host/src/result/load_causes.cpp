#include "result/load_causes.h"

#include "util/number_format.h"

#include <algorithm>

namespace quorlind::bench {
namespace {

double interval_start(const std::vector<QuorlindIntervalSample>& samples, std::size_t index) {
    return index == 0 ? 0.0 : samples[index - 1].end_seconds;
}

std::string seconds_text(double seconds) { return format_fixed(seconds, seconds < 10.0 ? 1 : 0); }

// "in 39–48 s", "in 3.0–5.0 s and 9.0–12 s": consecutive intervals form one span.
std::string spans_text(const std::vector<std::size_t>& intervals,
                       const std::vector<QuorlindIntervalSample>& samples) {
    std::vector<std::string> spans;
    for (std::size_t i = 0; i < intervals.size();) {
        std::size_t j = i;
        while (j + 1 < intervals.size() && intervals[j + 1] == intervals[j] + 1) {
            ++j;
        }
        spans.push_back(seconds_text(interval_start(samples, intervals[i])) + "\xE2\x80\x93" +
                        seconds_text(samples[intervals[j]].end_seconds));
        i = j + 1;
    }
    std::string text = "in ";
    for (std::size_t i = 0; i < spans.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == spans.size() ? " and " : ", ") + spans[i];
    }
    return text + " s";
}

std::string percent_text(double share) { return format_fixed(share * 100.0, 0) + " %"; }

struct Weighted {
    double sum = 0.0;
    double seconds = 0.0;
    void add(double value, double weight) {
        sum += value * weight;
        seconds += weight;
    }
    std::optional<double> mean() const {
        return seconds > 0.0 ? std::optional<double>(sum / seconds) : std::nullopt;
    }
};

double window_seconds(const std::vector<QuorlindIntervalSample>& samples) {
    return samples.empty() ? 0.0 : samples.back().end_seconds;
}

std::optional<LoadCause> other_processes_cause(const RunLoad& load,
                                               const std::vector<QuorlindIntervalSample>& samples,
                                               std::uint32_t workers) {
    LoadCause cause;
    cause.kind = CauseKind::other_processes;
    Weighted other;
    Weighted share;
    double lost_seconds = 0.0;
    for (std::size_t i = 0; i < load.intervals.size(); ++i) {
        const LoadFigures& f = load.intervals[i];
        // Busy neighbours on other processors take nothing from the workers.
        if (!f.other_processes_cpus || *f.other_processes_cpus <= busy_other_cpus ||
            (f.worker_cpu_share && *f.worker_cpu_share >= disturbed_run_share)) {
            continue;
        }
        const double seconds = samples[i].duration_seconds;
        cause.intervals.push_back(i);
        other.add(*f.other_processes_cpus, seconds);
        if (f.worker_cpu_share) {
            share.add(*f.worker_cpu_share, seconds);
            lost_seconds += (1.0 - *f.worker_cpu_share) * seconds;
        } else {
            lost_seconds +=
                std::min(1.0, *f.other_processes_cpus / std::max<std::uint32_t>(workers, 1)) * seconds;
        }
    }
    if (cause.intervals.empty()) {
        return std::nullopt;
    }
    cause.figure = *other.mean();
    cause.strength = lost_seconds / window_seconds(samples);
    cause.text = "other processes used " + format_fixed(cause.figure, 1) + " processors " +
                 spans_text(cause.intervals, samples);
    if (const auto ran = share.mean()) {
        cause.text += std::string(", and the ") + (workers == 1 ? "worker" : "workers") + " ran " +
                      percent_text(*ran) + " of that time";
    }
    return cause;
}

std::optional<LoadCause> steal_cause(const RunLoad& load,
                                     const std::vector<QuorlindIntervalSample>& samples) {
    LoadCause cause;
    cause.kind = CauseKind::steal;
    Weighted steal;
    for (std::size_t i = 0; i < load.intervals.size(); ++i) {
        const auto& share = load.intervals[i].steal_share;
        if (share && *share > busy_steal_share) {
            cause.intervals.push_back(i);
            steal.add(*share, samples[i].duration_seconds);
        }
    }
    if (cause.intervals.empty()) {
        return std::nullopt;
    }
    cause.figure = *steal.mean();
    cause.strength = steal.sum / window_seconds(samples);
    cause.text = "the hypervisor took " + percent_text(cause.figure) + " (steal)";
    return cause;
}

// Measured against the first interval's clock: a run that starts throttled
// shows no fall, only a low clock.
std::optional<LoadCause> clock_cause(const RunLoad& load,
                                     const std::vector<QuorlindIntervalSample>& samples) {
    std::optional<double> reference;
    LoadCause cause;
    cause.kind = CauseKind::clock_fall;
    Weighted slowdown;
    for (std::size_t i = 0; i < load.intervals.size(); ++i) {
        const auto& clock = load.intervals[i].clock_mhz;
        if (!clock) {
            continue;
        }
        if (!reference) {
            reference = clock;
        } else if (*clock < *reference * clock_fall_ratio) {
            cause.figure = cause.intervals.empty() ? *clock : std::min(cause.figure, *clock);
            cause.intervals.push_back(i);
            slowdown.add(1.0 - *clock / *reference, samples[i].duration_seconds);
        }
    }
    if (cause.intervals.empty()) {
        return std::nullopt;
    }
    cause.strength = slowdown.sum / window_seconds(samples);
    cause.text = "the clock fell from " + format_fixed(*reference / 1000.0, 1) + " to " +
                 format_fixed(cause.figure / 1000.0, 1) + " GHz at " +
                 seconds_text(interval_start(samples, cause.intervals.front())) + " s";
    return cause;
}

// Heat acts through the clock, so it takes no time of its own and goes last.
std::optional<LoadCause> temperature_cause(const RunLoad& load) {
    LoadCause cause;
    cause.kind = CauseKind::temperature;
    for (std::size_t i = 0; i < load.intervals.size(); ++i) {
        const auto& celsius = load.intervals[i].temperature_celsius;
        if (celsius && *celsius >= hot_celsius) {
            cause.figure = std::max(cause.figure, *celsius);
            cause.intervals.push_back(i);
        }
    }
    if (cause.intervals.empty()) {
        return std::nullopt;
    }
    cause.text = "temperature rose to " + format_fixed(cause.figure, 0) +
                 " \xC2\xB0"
                 "C";
    return cause;
}

}  // namespace

Disturbance judge_disturbance(const RunLoad& load) {
    Disturbance disturbance;
    bool any_known = false;
    for (std::size_t i = 0; i < load.intervals.size(); ++i) {
        if (const auto& share = load.intervals[i].worker_cpu_share) {
            any_known = true;
            if (*share < disturbed_interval_share) {
                disturbance.intervals.push_back(i);
            }
        }
    }
    const auto& run_share = load.measurement.worker_cpu_share;
    if (run_share || any_known) {
        disturbance.disturbed =
            (run_share && *run_share < disturbed_run_share) || !disturbance.intervals.empty();
    }
    return disturbance;
}

const char* cause_kind_name(CauseKind kind) {
    switch (kind) {
        case CauseKind::other_processes:
            return "other_processes";
        case CauseKind::steal:
            return "steal";
        case CauseKind::clock_fall:
            return "clock_fall";
        case CauseKind::temperature:
            return "temperature";
    }
    return "unknown";
}

std::vector<LoadCause> name_causes(const RunLoad& load, const std::vector<QuorlindIntervalSample>& samples,
                                   std::uint32_t workers) {
    std::vector<LoadCause> causes;
    if (load.intervals.size() != samples.size() || samples.empty() || !(window_seconds(samples) > 0.0)) {
        return causes;
    }
    for (auto cause : {other_processes_cause(load, samples, workers), steal_cause(load, samples),
                       clock_cause(load, samples), temperature_cause(load)}) {
        if (cause) {
            causes.push_back(std::move(*cause));
        }
    }
    std::stable_sort(causes.begin(), causes.end(),
                     [](const LoadCause& a, const LoadCause& b) { return a.strength > b.strength; });
    return causes;
}

std::string describe_load(const Disturbance& disturbance, const std::vector<LoadCause>& causes) {
    std::string text;
    for (const LoadCause& cause : causes) {
        // Semicolons, since a cause's own text may hold a comma.
        text += (text.empty() ? "" : "; ") + cause.text;
    }
    if (disturbance.disturbed == false) {
        // An unstable run may still have lost its clock without losing time.
        return text.empty() ? "not disturbed" : "not disturbed; " + text;
    }
    if (text.empty()) {
        text = no_cause_text;
    }
    return disturbance.disturbed ? "disturbed: " + text : text;
}

std::optional<std::string> busy_warmup_note(const LoadFigures& warmup) {
    std::vector<std::string> parts;
    if (warmup.other_processes_cpus && *warmup.other_processes_cpus > busy_other_cpus) {
        parts.push_back("other processes used " + format_fixed(*warmup.other_processes_cpus, 1) +
                        " processors");
    }
    if (warmup.steal_share && *warmup.steal_share > busy_steal_share) {
        parts.push_back("the hypervisor took " + percent_text(*warmup.steal_share) + " (steal)");
    }
    if (parts.empty()) {
        return std::nullopt;
    }
    return "the machine is busy: " + parts.front() + (parts.size() > 1 ? " and " + parts.back() : "") +
           " during the warm-up";
}

std::optional<double> operations_per_processor_second(std::uint64_t operations,
                                                      const std::optional<double>& worker_cpu_seconds) {
    if (!worker_cpu_seconds || !(*worker_cpu_seconds > 0.0)) {
        return std::nullopt;
    }
    return static_cast<double>(operations) / *worker_cpu_seconds;
}

}  // namespace quorlind::bench
