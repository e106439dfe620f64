#include "export/openmetrics.h"

#include <cmath>
#include <utility>
#include <vector>

#include "result/kind_statistics.h"
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
    for (const Family* family : {&throughput, &half_width, &run_variation, &interval_variation, &unstable,
                                 &drifting, &runs, &completed, &ratio, &start}) {
        text += family->text();
    }
    return text;
}

}  // namespace quorlind::bench
