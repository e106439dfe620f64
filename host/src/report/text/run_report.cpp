#include "report/text/run_report.h"

#include "report/text/columns.h"
#include "report/text/system_report.h"
#include "result/names.h"
#include "report/text/stability_text.h"
#include "util/number_format.h"
#include "util/printable_text.h"

#include <algorithm>
#include <string>

namespace quorlind::bench {
namespace {

constexpr std::size_t max_table_rows = 20;

std::string variation_text(const RunRecord& run) {
    const std::string stability = stability_text(run, StabilityWording::sentence);
    if (run.summary.has_variation == 0) {
        if (run.stability.instability == Instability::drift) {
            return "not available (too few intervals); " + stability;
        }
        return "not available (too few intervals)";
    }
    return format_percent(run.summary.variation_percent, 2) + " (" + stability + ")";
}

// The mean over the joined intervals, weighted by their lengths; unknown if any is.
std::optional<double> joined_figure(const RunRecord& run, std::size_t first, std::size_t last,
                                    std::optional<double> LoadFigures::*figure) {
    if (!run.load || run.load->intervals.size() != run.samples.size()) {
        return std::nullopt;
    }
    double sum = 0.0;
    double seconds = 0.0;
    for (std::size_t i = first; i < last; ++i) {
        const auto& value = run.load->intervals[i].*figure;
        if (!value) {
            return std::nullopt;
        }
        sum += *value * run.samples[i].duration_seconds;
        seconds += run.samples[i].duration_seconds;
    }
    return seconds > 0.0 ? std::optional<double>(sum / seconds) : std::nullopt;
}

std::string optional_text(const std::optional<double>& value, int decimals, double scale = 1.0) {
    return value ? format_fixed(*value * scale, decimals) : "-";
}

void write_sample_table(std::ostream& out, const RunRecord& run) {
    const auto& samples = run.samples;
    if (samples.empty()) {
        out << "  No intervals were measured.\n";
        return;
    }
    const auto rows = join_samples(samples, max_table_rows);
    out << "  Intervals";
    if (rows.size() < samples.size()) {
        out << " (" << samples.size() << " joined into " << rows.size() << " rows)";
    }
    out << ":\n";
    const bool with_load = run.load.has_value();
    out << "    " << pad_left("end (s)", 9) << pad_left("length (s)", 12) << pad_left("operations", 18)
        << pad_left("ops/s", 18);
    if (with_load) {
        out << pad_left("workers %", 11) << pad_left("others (cpus)", 15);
    }
    out << '\n';
    const std::size_t per_row = (samples.size() + rows.size() - 1) / rows.size();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto& row = rows[r];
        out << "    " << pad_left(format_fixed(row.end_seconds, 3), 9)
            << pad_left(format_fixed(row.duration_seconds, 3), 12)
            << pad_left(group_thousands(row.operations), 18) << pad_left(format_rate(row.ops_per_second), 18);
        if (with_load) {
            const std::size_t first = r * per_row;
            const std::size_t last = std::min(samples.size(), first + per_row);
            out << pad_left(optional_text(joined_figure(run, first, last, &LoadFigures::worker_cpu_share), 1,
                                          100.0),
                            11)
                << pad_left(
                       optional_text(joined_figure(run, first, last, &LoadFigures::other_processes_cpus), 2),
                       15);
        }
        out << '\n';
    }
}

void write_single_run(std::ostream& out, const RunRecord& run) {
    const QuorlindRunSummary& summary = run.summary;
    const bool completed = summary.status == QUORLIND_STATUS_COMPLETED;
    const std::string status = status_name(summary.status);
    out << "Quorlind " << kind_label(summary.benchmark) << " benchmark: " << status;
    // A cancelled run's reason is the word "cancelled" again.
    if (!completed && !run.reason.empty() && run.reason != status) {
        out << " (" << printable_text(run.reason, 1000) << ")";
    }
    out << '\n';

    write_field(
        out, "Throughput",
        completed ? format_rate(summary.ops_per_second) + " operations/s" : "- (the run did not complete)");
    if (const auto per_cpu = operations_per_processor_second(run)) {
        std::string text = format_rate(*per_cpu) + " operations per second of processor time";
        if (const auto& share = run.load->measurement.worker_cpu_share) {
            text += std::string(" (the ") + (summary.workers == 1 ? "worker" : "workers") + " got " +
                    format_percent(*share * 100.0, 1) + " of the window)";
        }
        write_field(out, "CPU time", text);
    }
    write_field(out, "Workers", std::to_string(summary.workers));
    write_field(out, "Measured",
                format_fixed(summary.measured_seconds, 3) + " s (planned " +
                    format_seconds_exact(summary.measurement_seconds) + " after " +
                    format_seconds_exact(summary.warmup_seconds) + " warm-up)");
    write_field(out, "Variation", variation_text(run));
    if (run.load) {
        if (const auto busy = busy_warmup_note(run.load->warmup)) {
            write_field(out, "Warm-up", *busy);
        }
        write_field(out, "Disturbance", load_text(run));
    }
    write_field(out, "Operations", group_thousands(summary.total_operations));
    write_field(out, "Checksum", format_hex64(summary.checksum));
    write_sample_table(out, run);
}

std::string run_remark(const RunRecord& run) {
    switch (run.summary.status) {
        case QUORLIND_STATUS_COMPLETED:
            return stability_text(run, StabilityWording::sentence);
        case QUORLIND_STATUS_CANCELLED:
            return "partial: cancelled after " + format_fixed(run.summary.measured_seconds, 1) +
                   " s measured";
        default:
            return "failed: " + printable_text(run.reason, 1000);
    }
}

std::string per_cpu_rate(const RunRecord& run) {
    const auto rate = operations_per_processor_second(run);
    return rate ? format_rate(*rate) : "-";
}

void write_run_table(std::ostream& out, const ResultRecord& record) {
    const bool with_load = std::any_of(record.runs.begin(), record.runs.end(),
                                       [](const RunRecord& run) { return run.load.has_value(); });
    out << "  " << pad_left("run", 4) << "  " << pad_right("threads", 8) << pad_right("status", 11)
        << pad_left("ops/s", 16) << (with_load ? pad_left("ops/CPU s", 16) : "") << pad_left("variation", 11)
        << "  stability\n";
    for (const auto& run : record.runs) {
        std::string rate = "-";
        if (run.summary.status == QUORLIND_STATUS_COMPLETED) {
            rate = format_rate(run.summary.ops_per_second);
        } else if (const auto partial = partial_rate(run); partial && is_partial(run)) {
            rate = format_rate(*partial);
        }
        const std::string variation =
            run.summary.has_variation != 0 ? format_percent(run.summary.variation_percent, 2) : "-";
        out << "  " << pad_left(std::to_string(run.index + 1), 4) << "  "
            << pad_right(benchmark_name(run.config.benchmark), 8)
            << pad_right(status_name(run.summary.status), 11) << pad_left(rate, 16)
            << (with_load ? pad_left(per_cpu_rate(run), 16) : "") << pad_left(variation, 11) << "  "
            << run_remark(run) << (run.disturbance.disturbed == true ? "; disturbed" : "") << '\n';
    }
    // The causes below the table, where they have room.
    for (const auto& run : record.runs) {
        const bool unsettled =
            run.disturbance.disturbed == true || (run.summary.status == QUORLIND_STATUS_COMPLETED &&
                                                  run.stability.instability != Instability::none);
        if (run.load && unsettled) {
            out << "  run " << run.index + 1 << ": " << load_text(run) << '\n';
        }
    }
}

void write_kind_statistics(std::ostream& out, const char* title, const KindStatistics& statistics) {
    out << title << ": " << format_count(statistics.runs, "run", "runs") << ", " << statistics.completed
        << " completed\n";
    if (!statistics.median) {
        return;
    }
    write_field(out, "Median", format_rate(*statistics.median) + " operations/s");
    // A median always comes with the others from a run; a file may hold it alone.
    const auto rate = [](const std::optional<double>& value) {
        return value ? format_rate(*value) : "-";
    };
    write_field(out, "Range", rate(statistics.minimum) + " to " + rate(statistics.maximum));
    std::string mean = rate(statistics.mean);
    if (statistics.ci95) {
        const std::size_t degrees = statistics.completed - 1;
        mean += " (95 % confidence interval " + signed_rate(statistics.ci95->low) + " to " +
                signed_rate(statistics.ci95->high) + ", Student's t with " +
                format_count(degrees, "degree", "degrees") + " of freedom)";
    } else {
        mean += " (one run: no confidence interval)";
    }
    write_field(out, "Mean", mean);
    write_field(out, "Run to run",
                statistics.cv_percent
                    ? "coefficient of variation " + format_percent(*statistics.cv_percent, 2)
                    : std::string("not available (fewer than two completed runs)"));
}

std::string percent(double fraction) { return format_percent(fraction * 100.0, 1); }

std::string ratio_text(const Scaling& scaling) {
    std::string text = format_fixed(scaling.multi_core_ratio, 2) + " x the single-thread rate";
    if (scaling.pairs == 0) {
        return text + " (from the medians: no single and all-threads pair completed)";
    }
    if (scaling.multi_core_ratio_interval) {
        text += " (from " + format_count(scaling.pairs, "pair", "pairs") +
                " of alternating runs, net of a linear trend";
        return text + "; 95 % confidence interval " +
               format_fixed(scaling.multi_core_ratio_interval->low, 2) + " to " +
               format_fixed(scaling.multi_core_ratio_interval->high, 2) + ")";
    }
    return text + " (geometric mean of " + format_count(scaling.pairs, "pair", "pairs") +
           " of neighbouring runs: no confidence interval)";
}

void write_scaling(std::ostream& out, const Scaling& scaling, const SystemRecord& system) {
    out << "Scaling\n";
    write_field(out, "Multi-core", ratio_text(scaling));
    write_field(out, "Per logical",
                percent(scaling.efficiency_per_logical_processor) + " of one thread's rate on each of " +
                    format_count(scaling.workers, "worker", "workers"));
    if (!scaling.efficiency_per_physical_core || !scaling.physical_cores) {
        write_field(out, "Per core", "unknown (the number of physical cores is not known)");
        return;
    }
    std::string per_core = percent(*scaling.efficiency_per_physical_core) + " on each of " +
                           std::to_string(*scaling.physical_cores) + " physical cores";
    if (scaling.smt_gain) {
        per_core += "; SMT gain " + format_signed_percent(*scaling.smt_gain * 100.0) +
                    " over one thread per core scaling perfectly";
    } else if (system.topology.smt && !*system.topology.smt) {
        per_core += "; SMT is off";
    }
    write_field(out, "Per core", per_core);
}

std::string series_title(const ResultRecord& record) {
    const std::string kinds = record.threads == ThreadMode::both
                                  ? "single and all threads alternating"
                                  : kind_words(record.threads == ThreadMode::all ? QUORLIND_BENCHMARK_PER_CPU
                                                                                 : QUORLIND_BENCHMARK_SINGLE);
    return "Quorlind benchmark: " + std::to_string(record.runs.size()) + " runs (" + kinds + ", " +
           std::to_string(record.repeat) + " of each planned), " +
           format_seconds_exact(record.warmup_seconds) + " warm-up and " +
           format_seconds_exact(record.measurement_seconds) + " measured each";
}

void write_series(std::ostream& out, const Result& result) {
    out << series_title(result.record) << '\n';
    write_run_table(out, result.record);
    for (const std::uint32_t benchmark : benchmark_kinds) {
        if (const auto& statistics = result.statistics(benchmark)) {
            write_kind_statistics(out, kind_heading(benchmark), *statistics);
        }
    }
    if (result.scaling) {
        write_scaling(out, *result.scaling, result.record.system);
    }
}

}  // namespace

std::string signed_rate(double rate) {
    if (rate >= 0.0) {
        return format_rate(rate);
    }
    std::string text = "-";
    return text += format_rate(-rate);
}

std::vector<QuorlindIntervalSample> join_samples(const std::vector<QuorlindIntervalSample>& samples,
                                                 std::size_t max_rows) {
    if (max_rows == 0 || samples.size() <= max_rows) {
        return samples;
    }
    const std::size_t per_row = (samples.size() + max_rows - 1) / max_rows;
    std::vector<QuorlindIntervalSample> rows;
    for (std::size_t first = 0; first < samples.size(); first += per_row) {
        QuorlindIntervalSample row{};
        const std::size_t last = std::min(samples.size(), first + per_row);
        for (std::size_t i = first; i < last; ++i) {
            row.duration_seconds += samples[i].duration_seconds;
            row.operations += samples[i].operations;
        }
        row.end_seconds = samples[last - 1].end_seconds;
        row.ops_per_second =
            row.duration_seconds > 0.0 ? static_cast<double>(row.operations) / row.duration_seconds : 0.0;
        rows.push_back(row);
    }
    return rows;
}

void write_report(std::ostream& out, const Result& result) {
    const ResultRecord& record = result.record;
    write_system_report(out, record.system, record.tool_version, record.tool_build);
    if (record.runs.size() == 1) {
        write_single_run(out, record.runs.front());
    } else {
        write_series(out, result);
    }
}

}  // namespace quorlind::bench
