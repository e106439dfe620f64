#include "export/openmetrics.h"

#include <cmath>
#include <utility>
#include <vector>

#include "result/kind_runs.h"
#include "result/names.h"
#include "util/number_format.h"
#include "util/utf8_text.h"

namespace quorlind::bench {
namespace {

std::string escape_label_value(std::string_view text) {
    std::string out;
    for (const char c : valid_utf8(text)) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

using Labels = std::vector<std::pair<std::string, std::string>>;

// One metric family: HELP and TYPE once, then its samples.
class Family {
public:
    Family(std::string name, std::string help) : name_(std::move(name)), help_(std::move(help)) {}

    void add(const Labels& labels, std::optional<double> value) {
        if (!value || !std::isfinite(*value)) {
            return;
        }
        samples_ += name_ + "{";
        for (std::size_t i = 0; i < labels.size(); ++i) {
            samples_ +=
                (i == 0 ? "" : ",") + labels[i].first + "=\"" + escape_label_value(labels[i].second) + "\"";
        }
        samples_ += "} " + format_significant(*value) + "\n";
    }

    std::string text() const {
        if (samples_.empty()) {
            return {};
        }
        return "# HELP " + name_ + " " + help_ + "\n# TYPE " + name_ + " gauge\n" + samples_;
    }

private:
    std::string name_;
    std::string help_;
    std::string samples_;
};

std::optional<double> ratio_from_percent(std::optional<double> percent) {
    return percent ? std::optional<double>(*percent / 100.0) : std::nullopt;
}

struct KindStability {
    std::optional<double> largest_variation_percent;
    bool any_unstable = false;
    bool any_drifting = false;
    std::string reason = "none";
};

// The runs of one kind in a word. Unstable is the library's flag alone; the
// reason is that of the runs it marked: drift outweighs noise, and one
// marked without a finer reason counts as high variation. A drift on a run
// the library called stable shows in any_drifting only.
KindStability summarise_runs(const Result& result, std::uint32_t benchmark) {
    KindStability summary;
    bool drift = false;
    bool noise = false;
    for (const RunRecord* run : runs_of_kind(result.record.runs, benchmark).completed) {
        if (run->summary.has_variation != 0) {
            summary.largest_variation_percent =
                std::max(summary.largest_variation_percent.value_or(0.0), run->summary.variation_percent);
        }
        const bool drifting = run->stability.instability == Instability::drift;
        summary.any_drifting = summary.any_drifting || drifting;
        if (run->summary.unstable != 0) {
            summary.any_unstable = true;
            drift = drift || drifting;
            noise = noise || run->stability.instability == Instability::noise;
        }
    }
    summary.reason = drift ? "drift" : noise ? "noise" : summary.any_unstable ? "variation" : "none";
    return summary;
}

struct KindLoad {
    std::optional<double> worker_cpu_share;
    std::optional<double> other_processes_cpus;
    std::optional<double> steal_share;
    std::optional<double> disturbed;  // 1 if any run was; empty where none was judged
};

// The mean over the completed runs that tell the figure.
std::optional<double> mean_figure(const std::vector<const RunRecord*>& runs,
                                  std::optional<double> LoadFigures::*figure) {
    double sum = 0.0;
    std::size_t count = 0;
    for (const RunRecord* run : runs) {
        if (run->load && run->load->measurement.*figure) {
            sum += *(run->load->measurement.*figure);
            ++count;
        }
    }
    return count > 0 ? std::optional<double>(sum / static_cast<double>(count)) : std::nullopt;
}

KindLoad summarise_load(const Result& result, std::uint32_t benchmark) {
    const auto runs = runs_of_kind(result.record.runs, benchmark).completed;
    KindLoad load{mean_figure(runs, &LoadFigures::worker_cpu_share),
                  mean_figure(runs, &LoadFigures::other_processes_cpus),
                  mean_figure(runs, &LoadFigures::steal_share), std::nullopt};
    for (const RunRecord* run : runs) {
        if (run->disturbance.disturbed) {
            load.disturbed = std::max(load.disturbed.value_or(0.0), *run->disturbance.disturbed ? 1.0 : 0.0);
        }
    }
    return load;
}

}  // namespace

std::string to_openmetrics(const Result& result) {
    const SystemRecord& system = result.record.system;
    const Labels machine = {{"processor", system.processor}, {"library_version", system.library_version}};
    Family throughput("quorlind_throughput_operations_per_second",
                      "Median throughput of the completed runs, in benchmark operations per second.");
    Family half_width("quorlind_throughput_ci95_half_width_operations_per_second",
                      "Half the width of the 95 % confidence interval of the mean throughput.");
    Family run_variation("quorlind_run_to_run_variation_ratio",
                         "Coefficient of variation of the runs' throughputs (0.01 is 1 %).");
    Family interval_variation(
        "quorlind_interval_variation_ratio",
        "Largest variation of the interval rates within one completed run (0.1 is 10 %).");
    Family unstable("quorlind_unstable",
                    "1 when the library marked a completed run unstable; the reason label says why: "
                    "drift, noise, variation or none.");
    Family drifting("quorlind_drifting",
                    "1 when a completed run's rate drifted (a significant trend of at least 1 %), "
                    "whether or not the library marked it unstable.");
    Family runs("quorlind_runs", "Runs of this kind in the result, completed or not.");
    Family completed("quorlind_runs_completed", "Runs of this kind that completed.");
    Family worker_share("quorlind_worker_cpu_share",
                        "Processor time the workers got over the window times their count, mean over the "
                        "completed runs (0 to 1).");
    Family other_cpus("quorlind_other_processes_cpus",
                      "Processors' worth of time other processes used during the measurement, mean over the "
                      "completed runs.");
    Family steal("quorlind_steal_share",
                 "Share of the processors' time the hypervisor took during the measurement, mean over the "
                 "completed runs.");
    Family disturbed("quorlind_disturbed",
                     "1 when other work took time from a completed run's workers (under 97 % of the window "
                     "or 90 % of an interval).");
    for (const std::uint32_t benchmark : benchmark_kinds) {
        const auto& statistics = result.statistics(benchmark);
        if (!statistics) {
            continue;
        }
        Labels labels = machine;
        labels.emplace_back("kind", benchmark_name(benchmark));
        throughput.add(labels, statistics->median);
        if (statistics->ci95) {
            half_width.add(labels, (statistics->ci95->high - statistics->ci95->low) / 2.0);
        }
        run_variation.add(labels, ratio_from_percent(statistics->cv_percent));
        const KindStability kind_runs = summarise_runs(result, benchmark);
        interval_variation.add(labels, ratio_from_percent(kind_runs.largest_variation_percent));
        Labels with_reason = labels;
        with_reason.emplace_back("reason", kind_runs.reason);
        unstable.add(with_reason, kind_runs.any_unstable ? 1.0 : 0.0);
        drifting.add(labels, kind_runs.any_drifting ? 1.0 : 0.0);
        runs.add(labels, static_cast<double>(statistics->runs));
        completed.add(labels, static_cast<double>(statistics->completed));
        const KindLoad kind_load = summarise_load(result, benchmark);
        worker_share.add(labels, kind_load.worker_cpu_share);
        other_cpus.add(labels, kind_load.other_processes_cpus);
        steal.add(labels, kind_load.steal_share);
        disturbed.add(labels, kind_load.disturbed);
    }
    Family ratio("quorlind_multi_core_ratio",
                 "All-threads over single-thread throughput, from alternating runs net of a linear trend.");
    if (result.scaling) {
        ratio.add(machine, result.scaling->multi_core_ratio);
    }
    Family start("quorlind_start_time_seconds", "When the benchmark started, in seconds since 1970 (UTC).");
    if (system.start_time_utc) {
        start.add(machine, static_cast<double>(system.start_time_utc->time_since_epoch().count()));
    }
    std::string text;
    for (const Family* family :
         {&throughput, &half_width, &run_variation, &interval_variation, &unstable, &drifting, &runs,
          &completed, &worker_share, &other_cpus, &steal, &disturbed, &ratio, &start}) {
        text += family->text();
    }
    return text;
}

}  // namespace quorlind::bench
