#include "report/html/run_report.h"

#include <array>
#include <cmath>

#include "util/html_escape.h"
#include "report/html/page.h"
#include "util/number_format.h"
#include "stats/statistics.h"
#include "report/svg/chart.h"
#include "report/html/system_fields.h"

namespace quorlind::bench {
namespace {

using detail::Cell;
using detail::TableRow;

constexpr std::array<const char*, 2> kinds = {"single", "all"};
constexpr const char* rate_axis = "Throughput (operations/s)";
constexpr const char* time_axis = "Time since the end of the warm-up (s)";

std::string kind_title(const std::string& kind) {
    return kind == "all" ? "All threads" : kind == "single" ? "Single thread" : kind;
}

std::string rate_text(std::optional<double> rate) {
    return rate ? format_rate(*rate) + " operations/s" : "-";
}

int run_number(const Document& run, std::size_t position) {
    const auto index = find_number(run, {"index"});
    return (index ? static_cast<int>(*index) : static_cast<int>(position)) + 1;
}

// The state of one run in a few words: completed, partial, cancelled or failed.
std::string run_state(const Document& run) {
    std::string state = find_text(run, {"status", "name"});
    if (find_bool(run, {"partial"}).value_or(false)) {
        state += state.empty() ? "partial" : " (partial)";
    }
    return state.empty() ? "unknown" : state;
}

std::string stability_text(const Document& run) {
    const std::string instability = find_text(run, {"stability", "instability"});
    const bool unstable = find_number(run, {"summary", "unstable"}).value_or(0.0) != 0.0;
    if (instability == "drift") {
        std::string text = "unstable: drifting";
        if (const auto trend = find_number(run, {"stability", "trend_percent"})) {
            text += " " + format_signed_percent(*trend);
        }
        if (const auto measured = find_number(run, {"summary", "measured_seconds"})) {
            text += " over " + format_fixed(*measured, 0) + " s";
        }
        return text;
    }
    if (instability == "noise") {
        return "unstable: noisy";
    }
    if (!find_member(run, {"summary", "variation_percent"})) {
        return "not judged (too few intervals)";
    }
    return unstable ? "unstable" : "stable";
}

std::vector<StepSeries::Step> run_steps(const Document& run) {
    std::vector<StepSeries::Step> steps;
    const Document* samples = find_member(run, {"samples"});
    if (samples == nullptr || !samples->is_array()) {
        return steps;
    }
    for (const auto& sample : *samples) {
        const auto end = find_number(sample, {"end_seconds"});
        const auto duration = find_number(sample, {"duration_seconds"});
        const auto rate = find_number(sample, {"ops_per_second"});
        if (end && duration && rate) {
            steps.push_back({*end - *duration, *end, *rate});
        }
    }
    return steps;
}

// The interval rates' straight line, weighted by interval length as the
// drift test weighs them, from the first interval's start to the last one's end.
std::optional<TrendLine> fitted_trend(const std::vector<StepSeries::Step>& steps) {
    std::vector<WeightedPoint> points;
    points.reserve(steps.size());
    for (const auto& step : steps) {
        points.push_back({(step.start + step.end) / 2.0, step.value, step.end - step.start});
    }
    const auto fit = fit_weighted_line(points);
    if (!fit) {
        return std::nullopt;
    }
    const auto at = [&](double time) {
        return ChartPoint{time, fit->intercept + fit->slope * time};
    };
    TrendLine line;
    line.from = at(steps.front().start);
    line.to = at(steps.back().end);
    return line;
}

std::vector<const Document*> runs_of_kind(const Document& result, const std::string& kind) {
    std::vector<const Document*> runs;
    if (const Document* all = find_member(result, {"runs"}); all != nullptr && all->is_array()) {
        for (const auto& run : *all) {
            if (find_text(run, {"threads"}) == kind) {
                runs.push_back(&run);
            }
        }
    }
    return runs;
}

std::string throughput_chart(const Document& result, const std::string& kind,
                             const std::vector<const Document*>& runs) {
    LineChart chart;
    chart.id = "throughput-" + kind;
    chart.title = "Interval throughput, " + (kind == "all" ? std::string("all threads") : "single thread");
    chart.x_label = time_axis;
    chart.y_label = rate_axis;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Document& run = *runs[i];
        StepSeries series;
        series.name = "run " + std::to_string(run_number(run, i));
        const std::string state = run_state(run);
        if (state != "completed") {
            series.name += " (" + state + ")";
        }
        series.steps = run_steps(run);
        if (find_text(run, {"stability", "instability"}) == "drift") {
            if (auto trend = fitted_trend(series.steps)) {
                trend->series = i;
                trend->name = "trend of " + series.name;
                if (const auto percent = find_number(run, {"stability", "trend_percent"})) {
                    trend->name += ": " + format_signed_percent(*percent);
                }
                chart.trends.push_back(*trend);
            }
        }
        chart.series.push_back(std::move(series));
    }
    if (const auto median = find_number(result, {"statistics", kind, "median"})) {
        ValueBand band;
        band.line = *median;
        band.line_name = "median of the runs";
        band.low = find_number(result, {"statistics", kind, "ci95_low"});
        band.high = find_number(result, {"statistics", kind, "ci95_high"});
        band.band_name = "95 % confidence interval of the mean";
        chart.band = band;
    }
    return render_line_chart(chart);
}

std::string scaling_chart(const Document& result) {
    RowChart chart;
    chart.id = "scaling";
    chart.title = "Single thread against all threads";
    chart.x_label = rate_axis;
    chart.from_zero = true;
    for (const char* kind : kinds) {
        ChartRow row;
        row.label = kind_title(kind);
        row.bar = find_number(result, {"statistics", kind, "median"});
        row.low = find_number(result, {"statistics", kind, "ci95_low"});
        row.high = find_number(result, {"statistics", kind, "ci95_high"});
        for (const Document* run : runs_of_kind(result, kind)) {
            if (find_text(*run, {"status", "name"}) == "completed") {
                if (const auto rate = find_number(*run, {"summary", "ops_per_second"})) {
                    row.dots.push_back(*rate);
                }
            }
        }
        row.note = row.bar ? "median " + format_rate(*row.bar) : "no completed run";
        chart.rows.push_back(std::move(row));
    }
    if (const auto ratio = find_number(result, {"scaling", "multi_core_ratio"})) {
        chart.rows.back().note = format_fixed(*ratio, 2) + " \xC3\x97 single thread";
    }
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

std::string kind_card(const Document& result, const std::string& kind) {
    const Document* statistics = find_member(result, {"statistics", kind});
    if (statistics == nullptr) {
        return {};
    }
    const auto runs = find_number(*statistics, {"runs"}).value_or(0.0);
    const auto completed = find_number(*statistics, {"completed"}).value_or(0.0);
    std::vector<std::string> lines;
    lines.push_back("median of " + format_fixed(completed, 0) + " completed of " + format_fixed(runs, 0) +
                    " runs");
    const auto low = find_number(*statistics, {"ci95_low"});
    const auto high = find_number(*statistics, {"ci95_high"});
    if (low && high) {
        lines.push_back("95 % confidence interval " + format_rate(*low) + " to " + format_rate(*high) +
                        " (mean " + format_rate(find_number(*statistics, {"mean"}).value_or(0.0)) + ")");
    } else {
        lines.push_back("no confidence interval: it needs two completed runs (--repeat)");
    }
    const auto minimum = find_number(*statistics, {"minimum"});
    const auto maximum = find_number(*statistics, {"maximum"});
    if (minimum && maximum) {
        std::string line = "range " + format_rate(*minimum) + " to " + format_rate(*maximum);
        if (const auto cv = find_number(*statistics, {"cv_percent"})) {
            line += ", run-to-run variation " + format_percent(*cv, 2);
        }
        lines.push_back(line);
    }
    return card("kind", kind_title(kind), rate_text(find_number(*statistics, {"median"})), lines);
}

std::string scaling_card(const Document& result) {
    const Document* scaling = find_member(result, {"scaling"});
    if (scaling == nullptr) {
        return {};
    }
    const auto ratio = find_number(*scaling, {"multi_core_ratio"});
    std::vector<std::string> lines;
    if (const auto efficiency = find_number(*scaling, {"efficiency_per_logical_processor"})) {
        lines.push_back("efficiency per logical processor " + format_percent(*efficiency * 100.0, 1));
    }
    if (const auto efficiency = find_number(*scaling, {"efficiency_per_physical_core"})) {
        lines.push_back("efficiency per physical core " + format_percent(*efficiency * 100.0, 1));
    }
    if (const auto gain = find_number(*scaling, {"smt_gain"})) {
        lines.push_back("SMT adds " + format_signed_percent(*gain * 100.0) + " over one thread per core");
    }
    return card("scaling", "Multi-core ratio (all / single)",
                ratio ? format_fixed(*ratio, 2) + " \xC3\x97" : std::string("-"), lines);
}

std::string runs_table(const Document& result) {
    std::vector<TableRow> rows;
    if (const Document* runs = find_member(result, {"runs"}); runs != nullptr && runs->is_array()) {
        for (std::size_t i = 0; i < runs->size(); ++i) {
            const Document& run = (*runs)[i];
            const auto variation = find_number(run, {"summary", "variation_percent"});
            const auto rate = find_number(run, {"summary", "ops_per_second"});
            const bool completed = find_text(run, {"status", "name"}) == "completed";
            rows.push_back({{{std::to_string(run_number(run, i)), "number"},
                             {kind_title(find_text(run, {"threads"})), ""},
                             {run_state(run), ""},
                             {completed && rate ? format_rate(*rate) : "-", "number"},
                             {variation ? format_percent(*variation, 2) : "-", "number"},
                             {stability_text(run), ""},
                             {find_text(run, {"status", "reason"}), ""}},
                            completed ? "" : "incomplete"});
        }
    }
    return detail::html_table(
        "runs", {"Run", "Threads", "Status", "Throughput (operations/s)", "Variation", "Stability", "Reason"},
        rows);
}

std::string system_table(const Document& result) {
    std::vector<TableRow> rows;
    const Document* system = find_member(result, {"system"});
    const Document* tool = find_member(result, {"tool"});
    for (const auto& fields : {system != nullptr ? system_fields(*system) : std::vector<SystemField>{},
                               tool != nullptr ? system_fields(*tool, "Tool") : std::vector<SystemField>{}}) {
        for (const auto& field : fields) {
            rows.push_back({{{field.label, ""}, {field.value, ""}}, ""});
        }
    }
    return detail::html_table("system", {"Field", "Value"}, rows);
}

std::string header(const Document& result) {
    std::vector<std::string> parts;
    const std::string processor = find_text(result, {"system", "processor"});
    parts.push_back(processor.empty() ? "unknown processor" : processor);
    if (const auto logical = find_number(result, {"system", "logical_processors"})) {
        parts.push_back(format_fixed(*logical, 0) + " logical processors");
    }
    for (const auto& [key, prefix] : {std::pair<const char*, const char*>{"operating_system", ""},
                                      {"host_name", "host "},
                                      {"start_time_utc", "started "}}) {
        const std::string text = find_text(result, {"system", key});
        if (!text.empty()) {
            parts.push_back(prefix + text);
        }
    }
    std::string line;
    for (const auto& part : parts) {
        line += (line.empty() ? "" : " \xC2\xB7 ") + part;
    }
    const auto warmup = find_number(result, {"configuration", "warmup_seconds"});
    const auto measure = find_number(result, {"configuration", "measurement_seconds"});
    std::string plan;
    if (warmup && measure) {
        plan = "Each run: " + format_seconds_exact(*warmup) + " warm-up, " + format_seconds_exact(*measure) +
               " measured.";
    }
    return "<header><h1>Quorlind benchmark result</h1><p class=\"meta\">" + escape_html(line) + "</p>" +
           (plan.empty() ? "" : "<p class=\"meta\">" + escape_html(plan) + "</p>") + "</header>\n";
}

std::string notes_list(const Document& result) {
    const Document* notes = find_member(result, {"notes"});
    if (notes == nullptr || !notes->is_array() || notes->empty()) {
        return {};
    }
    std::string out = "<ul class=\"notes\">";
    for (const auto& note : *notes) {
        out += "<li>" + escape_html(note.is_string() ? note.get<std::string>() : note.dump()) + "</li>";
    }
    return detail::html_section("notes", "Notes", out + "</ul>\n");
}

}  // namespace

std::string render_result_html(const Document& result) {
    std::string cards;
    std::string charts;
    for (const char* kind : kinds) {
        cards += kind_card(result, kind);
        const auto runs = runs_of_kind(result, kind);
        if (!runs.empty()) {
            charts += throughput_chart(result, kind, runs);
        }
    }
    cards += scaling_card(result);
    if (find_member(result, {"scaling"}) != nullptr) {
        charts += scaling_chart(result);
    }
    std::string body = header(result);
    body += detail::html_section("summary", "Summary", "<div class=\"cards\">" + cards + "</div>\n");
    body += detail::html_section("charts", "Throughput", "<div class=\"charts\">\n" + charts + "</div>\n");
    body += detail::html_section("runs", "Runs", runs_table(result));
    body += detail::html_section("system", "System", system_table(result));
    body += notes_list(result);
    body += "<footer><p>Written by " + escape_html(find_text(result, {"tool", "name"})) + " " +
            escape_html(find_text(result, {"tool", "version"})) +
            ". The result document is embedded in this page as JSON, in the element with the id "
            "quorlind-data.</p></footer>\n";
    const std::string processor = find_text(result, {"system", "processor"});
    return detail::html_page("Quorlind result" + (processor.empty() ? std::string() : ": " + processor), body,
                             result);
}

}  // namespace quorlind::bench
