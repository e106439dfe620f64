#include "report/html/run_report.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "report/html/page.h"
#include "report/svg/line_chart.h"
#include "report/svg/row_chart.h"
#include "report/text/stability_text.h"
#include "result/json_writer.h"
#include "result/kind_runs.h"
#include "result/names.h"
#include "result/system_fields.h"
#include "util/html_escape.h"
#include "util/number_format.h"

namespace quorlind::bench {
namespace {

using detail::TableRow;

constexpr const char* rate_axis = "Throughput (operations/s)";
constexpr const char* time_axis = "Time since the end of the warm-up (s)";

std::string rate_text(std::optional<double> rate) {
    return rate ? format_rate(*rate) + " operations/s" : "-";
}

std::string run_number(const RunRecord& run) { return std::to_string(run.index + 1); }

// The state of one run in a few words: completed, cancelled (partial) or failed.
std::string run_state(const RunRecord& run) {
    std::string state = status_name(run.summary.status);
    if (is_partial(run)) {
        state += " (partial)";
    }
    return state;
}

bool completed(const RunRecord& run) { return run.summary.status == QUORLIND_STATUS_COMPLETED; }

std::vector<StepSeries::Step> run_steps(const RunRecord& run) {
    std::vector<StepSeries::Step> steps;
    for (const auto& sample : run.samples) {
        steps.push_back(
            {sample.end_seconds - sample.duration_seconds, sample.end_seconds, sample.ops_per_second});
    }
    return steps;
}

// The line the drift test judged, from the first interval's start to the last one's end.
std::optional<TrendLine> trend_line(const RunRecord& run) {
    const IntervalTrend trend = fit_interval_trend(run.samples);
    if (!trend.fit) {
        return std::nullopt;
    }
    const auto at = [&](double time) {
        return ChartPoint{time, trend.fit->intercept + trend.fit->slope * time};
    };
    TrendLine line;
    line.from = at(trend.start_seconds);
    line.to = at(trend.end_seconds);
    return line;
}

std::string throughput_chart(const Result& result, std::uint32_t benchmark,
                             const std::vector<const RunRecord*>& runs) {
    LineChart chart;
    chart.id = std::string("throughput-") + benchmark_name(benchmark);
    chart.title = std::string("Interval throughput, ") + kind_words(benchmark);
    chart.x_label = time_axis;
    chart.y_label = rate_axis;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const RunRecord& run = *runs[i];
        StepSeries series;
        series.name = "run " + run_number(run);
        if (!completed(run)) {
            series.name += " (" + run_state(run) + ")";
        }
        series.steps = run_steps(run);
        if (run.stability.instability == Instability::drift) {
            if (auto trend = trend_line(run)) {
                trend->series = i;
                trend->name = "trend of " + series.name;
                if (run.stability.trend_percent) {
                    trend->name += ": " + format_signed_percent(*run.stability.trend_percent);
                }
                chart.trends.push_back(*trend);
            }
        }
        chart.series.push_back(std::move(series));
        for (const std::size_t interval : run.disturbance.intervals) {
            const auto& sample = run.samples[interval];
            chart.shades.push_back({sample.end_seconds - sample.duration_seconds, sample.end_seconds});
        }
    }
    chart.shade_name = "disturbed intervals (the workers got under 90 % of the time)";
    if (const auto& statistics = result.statistics(benchmark); statistics && statistics->median) {
        ValueBand band;
        band.line = *statistics->median;
        band.line_name = "median of the runs";
        if (statistics->ci95) {
            band.low = statistics->ci95->low;
            band.high = statistics->ci95->high;
        }
        band.band_name = "95 % confidence interval of the mean";
        chart.band = band;
    }
    return render_line_chart(chart);
}

std::string scaling_chart(const Result& result, const Scaling& scaling) {
    RowChart chart;
    chart.id = "scaling";
    chart.title = "Single thread against all threads";
    chart.x_label = rate_axis;
    chart.from_zero = true;
    for (const std::uint32_t benchmark : benchmark_kinds) {
        ChartRow row;
        row.label = kind_heading(benchmark);
        if (const auto& statistics = result.statistics(benchmark)) {
            row.bar = statistics->median;
            if (statistics->ci95) {
                row.low = statistics->ci95->low;
                row.high = statistics->ci95->high;
            }
        }
        for (const RunRecord* run : runs_of_kind(result.record.runs, benchmark).completed) {
            row.dots.push_back(run->summary.ops_per_second);
        }
        row.note = row.bar ? "median " + format_rate(*row.bar) : "no completed run";
        chart.rows.push_back(std::move(row));
    }
    chart.rows.back().note = format_fixed(scaling.multi_core_ratio, 2) + " \xC3\x97 single thread";
    return render_row_chart(chart);
}

std::string card(const std::string& css_class, const std::string& heading, const std::string& value,
                 const std::vector<std::string>& lines) {
    std::string out = "<div class=\"card " + css_class + "\"><h3>" + escape_html(heading) +
                      "</h3><p class=\"value\">" + escape_html(value) + "</p>";
    for (const auto& line : lines) {
        out += "<p>" + escape_html(line) + "</p>";
    }
    return out + "</div>";
}

std::string kind_card(const Result& result, std::uint32_t benchmark) {
    const auto& statistics = result.statistics(benchmark);
    if (!statistics) {
        return {};
    }
    std::vector<std::string> lines;
    if (statistics->completed == statistics->runs) {
        lines.push_back("median of " + format_count(statistics->runs, "run", "runs"));
    } else {
        lines.push_back("median of " + std::to_string(statistics->completed) + " completed of " +
                        format_count(statistics->runs, "run", "runs"));
    }
    if (statistics->ci95) {
        lines.push_back("95 % confidence interval " + format_rate(statistics->ci95->low) + " to " +
                        format_rate(statistics->ci95->high) + " (mean " +
                        format_rate(statistics->mean.value_or(0.0)) + ")");
    } else {
        lines.push_back("no confidence interval: it needs two completed runs (--repeat)");
    }
    if (statistics->minimum && statistics->maximum) {
        std::string line =
            "range " + format_rate(*statistics->minimum) + " to " + format_rate(*statistics->maximum);
        if (statistics->cv_percent) {
            line += ", run-to-run variation " + format_percent(*statistics->cv_percent, 2);
        }
        lines.push_back(line);
    }
    return card("kind", kind_heading(benchmark), rate_text(statistics->median), lines);
}

std::string scaling_card(const Scaling& scaling) {
    std::vector<std::string> lines;
    if (scaling.multi_core_ratio_interval) {
        lines.push_back(
            "95 % confidence interval " + format_fixed(scaling.multi_core_ratio_interval->low, 2) + " to " +
            format_fixed(scaling.multi_core_ratio_interval->high, 2) + " from " +
            format_count(scaling.pairs, "pair", "pairs") + " of alternating runs, net of a linear trend");
    } else if (scaling.pairs == 1) {
        lines.push_back("one pair of runs: no confidence interval (--repeat 2 or more)");
    } else if (scaling.pairs == 0) {
        lines.push_back("ratio of the medians: no single and all-threads pair completed");
    }
    lines.push_back("efficiency per logical processor " +
                    format_percent(scaling.efficiency_per_logical_processor * 100.0, 1) + " over " +
                    format_count(scaling.workers, "worker", "workers"));
    if (scaling.efficiency_per_physical_core && scaling.physical_cores) {
        lines.push_back("efficiency per physical core " +
                        format_percent(*scaling.efficiency_per_physical_core * 100.0, 1) + " over " +
                        format_count(*scaling.physical_cores, "core", "cores"));
    }
    if (scaling.smt_gain) {
        lines.push_back("SMT adds " + format_signed_percent(*scaling.smt_gain * 100.0) +
                        " over one thread per core");
    }
    return card("scaling", "Multi-core ratio (all / single)",
                format_fixed(scaling.multi_core_ratio, 2) + " \xC3\x97", lines);
}

// A cancelled run's rate over what it measured, as the text report shows it.
std::string run_rate(const RunRecord& run) {
    if (completed(run)) {
        return format_rate(run.summary.ops_per_second);
    }
    if (const auto partial = partial_rate(run); partial && is_partial(run)) {
        return format_rate(*partial) + " (partial)";
    }
    return is_partial(run) ? "none measured" : "-";
}

std::string per_cpu_text(const RunRecord& run) {
    const auto rate = operations_per_processor_second(run);
    return rate ? format_rate(*rate) : "-";
}

std::string share_text(const RunRecord& run) {
    const auto share = run.load ? run.load->measurement.worker_cpu_share : std::nullopt;
    return share ? format_percent(*share * 100.0, 1) : "-";
}

std::string other_cpus_text(const RunRecord& run) {
    const auto cpus = run.load ? run.load->measurement.other_processes_cpus : std::nullopt;
    return cpus ? format_fixed(*cpus, 2) : "-";
}

// Each run's intervals with their load, for the runs that were sampled.
std::string intervals_table(const Result& result) {
    std::vector<TableRow> rows;
    const auto figure = [](const std::optional<double>& value, int decimals, double scale) {
        return value ? format_fixed(*value * scale, decimals) : std::string("-");
    };
    for (const auto& run : result.record.runs) {
        if (!run.load || run.load->intervals.size() != run.samples.size()) {
            continue;
        }
        for (std::size_t i = 0; i < run.samples.size(); ++i) {
            const auto& sample = run.samples[i];
            const LoadFigures& load = run.load->intervals[i];
            const bool disturbed =
                std::find(run.disturbance.intervals.begin(), run.disturbance.intervals.end(), i) !=
                run.disturbance.intervals.end();
            rows.push_back({{{run_number(run), "number"},
                             {format_fixed(sample.end_seconds, 3), "number"},
                             {format_fixed(sample.duration_seconds, 3), "number"},
                             {format_rate(sample.ops_per_second), "number"},
                             {figure(load.worker_cpu_share, 1, 100.0), "number"},
                             {figure(load.other_processes_cpus, 2, 1.0), "number"}},
                            disturbed ? "disturbed" : ""});
        }
    }
    if (rows.empty()) {
        return {};
    }
    return detail::html_table("intervals",
                              {"Run", "End (s)", "Length (s)", "Throughput (operations/s)",
                               "Workers' share (%)", "Other processes (processors)"},
                              rows);
}

std::string runs_table(const Result& result) {
    std::vector<TableRow> rows;
    for (const auto& run : result.record.runs) {
        const bool done = completed(run);
        // A cancelled run's reason is only its status again.
        const std::string reason = run.reason == status_name(run.summary.status) ? "" : run.reason;
        rows.push_back(
            {{{run_number(run), "number"},
              {kind_heading(run.config.benchmark), ""},
              {run_state(run), ""},
              {run_rate(run), "number"},
              {run.summary.has_variation != 0 ? format_percent(run.summary.variation_percent, 2) : "-",
               "number"},
              {stability_text(run, StabilityWording::cell), ""},
              {group_thousands(run.summary.total_operations), "number"},
              {format_hex64(run.summary.checksum), "number"},
              {per_cpu_text(run), "number"},
              {share_text(run), "number"},
              {other_cpus_text(run), "number"},
              {load_text(run), ""},
              {reason, ""}},
             done ? "" : "incomplete"});
    }
    return detail::html_table(
        "runs",
        {"Run", "Threads", "Status", "Throughput (operations/s)", "Variation", "Stability", "Operations",
         "Checksum", "Workers' share", "Other processes (processors)", "Disturbance", "Reason"},
        rows);
}

// The system record's fields as the text report words them, then the tool's.
std::string system_table(const Result& result) {
    std::vector<TableRow> rows;
    for (const SystemField& field : system_field_table()) {
        rows.push_back({{{field.label, ""}, {field.value(result.record.system), ""}}, ""});
    }
    const BuildInfo& tool = result.record.tool_build;
    for (const auto& [label, value] :
         {std::pair<const char*, std::optional<std::string>>{"Tool name", tool_name},
          {"Tool version", result.record.tool_version},
          {"Tool compiler", tool.compiler},
          {"Tool compiler version", tool.compiler_version},
          {"Tool build type", tool.build_type}}) {
        rows.push_back({{{label, ""}, {value && !value->empty() ? *value : "unknown", ""}}, ""});
    }
    return detail::html_table("system", {"Field", "Value"}, rows);
}

std::string header(const Result& result) {
    const ResultRecord& record = result.record;
    const SystemRecord& system = record.system;
    std::vector<std::string> parts;
    parts.push_back(system.processor.empty() ? "unknown processor" : system.processor);
    parts.push_back(std::to_string(system.logical_processors) + " logical processors");
    for (const auto& [text, prefix] :
         {std::pair<std::string, const char*>{system.operating_system, ""},
          {system.host_name.value_or(""), "host "},
          {system.start_time_utc ? format_utc(*system.start_time_utc) : "", "started "}}) {
        if (!text.empty()) {
            parts.push_back(prefix + text);
        }
    }
    std::string line;
    for (const auto& part : parts) {
        line += (line.empty() ? "" : " \xC2\xB7 ") + part;
    }
    const std::string plan = "Each run: " + format_seconds_exact(record.warmup_seconds) + " warm-up, " +
                             format_seconds_exact(record.measurement_seconds) + " measured.";
    return "<header><h1>Quorlind benchmark result</h1><p class=\"meta\">" + escape_html(line) +
           "</p><p class=\"meta\">" + escape_html(plan) + "</p></header>\n";
}

std::string notes_list(const Result& result) {
    const auto& notes = result.record.notes;
    if (notes.empty()) {
        return {};
    }
    std::string out = "<ul class=\"notes\">";
    for (const auto& note : notes) {
        out += "<li>" + escape_html(note) + "</li>";
    }
    return detail::html_section("notes", "Notes", out + "</ul>\n");
}

}  // namespace

std::string render_result_html(const Result& result) {
    std::string cards;
    std::string charts;
    for (const std::uint32_t benchmark : benchmark_kinds) {
        cards += kind_card(result, benchmark);
        const auto runs = runs_of_kind(result.record.runs, benchmark).started;
        if (!runs.empty()) {
            charts += throughput_chart(result, benchmark, runs);
        }
    }
    if (result.scaling) {
        cards += scaling_card(*result.scaling);
        charts += scaling_chart(result, *result.scaling);
    }
    // Notes say what may have disturbed the figures, so they come before them.
    std::string body = header(result);
    body += notes_list(result);
    body += detail::html_section("summary", "Summary", "<div class=\"cards\">" + cards + "</div>\n");
    body += detail::html_section("charts", "Throughput", "<div class=\"charts\">\n" + charts + "</div>\n");
    body += detail::html_section("runs", "Runs", runs_table(result));
    if (const std::string intervals = intervals_table(result); !intervals.empty()) {
        body += detail::html_section("intervals", "Intervals", intervals);
    }
    body += detail::html_section("system", "System", system_table(result));
    body += "<footer><p>Written by " + escape_html(tool_name) + " " +
            escape_html(result.record.tool_version) +
            ". The result document is embedded in this page as JSON, in the element with the id "
            "quorlind-data.</p></footer>\n";
    const std::string& processor = result.record.system.processor;
    return detail::html_page("Quorlind result" + (processor.empty() ? std::string() : ": " + processor), body,
                             to_json(result));
}

}  // namespace quorlind::bench
