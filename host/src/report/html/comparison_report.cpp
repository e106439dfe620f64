#include "report/html/comparison_report.h"

#include <cmath>

#include "compare/comparison_json.h"
#include "result/json_writer.h"
#include "report/html/page.h"
#include "report/svg/row_chart.h"
#include "result/kind_runs.h"
#include "result/names.h"
#include "util/html_escape.h"
#include "util/number_format.h"

namespace quorlind::bench {
namespace {

using detail::TableRow;

// The file's name without its directories: what a reader recognises, and short enough for a chart label.
std::string file_name(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string path_of(const Comparison& comparison, std::size_t file) {
    if (file < comparison.files.size()) {
        return comparison.files[file].path;
    }
    return "file " + std::to_string(file + 1);
}

// "3.2 % slower", in words a reader need not decode.
std::string change_words(const RatioEstimate& ratio) {
    const double change = ratio.change_percent();
    if (std::fabs(change) < 0.05) {
        return "the same speed";
    }
    return format_percent(std::fabs(change), 1) + (change < 0 ? " slower" : " faster");
}

std::string verdict_class(const std::optional<Verdict>& verdict) {
    if (!verdict) {
        return "verdict-not-comparable";
    }
    switch (*verdict) {
        case Verdict::slower:
            return "verdict-slower";
        case Verdict::faster:
            return "verdict-faster";
        case Verdict::inconclusive:
            return "verdict-not-comparable";
        case Verdict::same_or_faster:
            break;
    }
    return "verdict-same";
}

std::string verdict_words(const std::optional<Verdict>& verdict) {
    return verdict ? verdict_text(*verdict) : "not comparable";
}

std::string estimate_text(const ThroughputEstimate& estimate) {
    return format_rate(estimate.ops_per_second) + " operations/s (" +
           format_count(estimate.runs, "run", "runs") + ")";
}

std::string kind_card(const Comparison& comparison, const PairComparison& pair, const KindComparison& kind) {
    const std::string base = file_name(path_of(comparison, 0));
    const std::string candidate = file_name(path_of(comparison, pair.candidate_file));
    std::string out = "<div class=\"card verdict " + verdict_class(kind.verdict) + "\" data-kind=\"" +
                      escape_html(benchmark_name(kind.benchmark)) + "\"><h3>" +
                      escape_html(kind_words(kind.benchmark)) + "</h3><p class=\"value\">" +
                      escape_html(verdict_words(kind.verdict)) + "</p>";
    std::vector<std::string> lines;
    std::string line = candidate + " is " + change_words(kind.ratio) + " than " + base + ": ratio " +
                       format_fixed(kind.ratio.ratio, 3);
    if (const auto& interval = kind.ratio.interval) {
        line += ", " + format_fixed(comparison.settings.confidence * 100.0, 0) + " % interval " +
                format_fixed(interval->low, 3) + " to " + format_fixed(interval->high, 3);
    }
    lines.push_back(line + ".");
    lines.push_back("base: " + estimate_text(kind.base));
    lines.push_back("new: " + estimate_text(kind.candidate));
    if (kind.source == UncertaintySource::between_runs) {
        lines.push_back("Uncertainty from the spread between runs (Welch's t test on the run throughputs).");
    } else if (kind.source == UncertaintySource::pooled_runs) {
        lines.push_back(
            "Uncertainty from the spread between runs (pooled t test on the log run throughputs), which "
            "assumes both files vary by the same relative amount from run to run.");
    } else {
        lines.push_back(
            "Interval from the intervals within the runs, for information only: it leaves "
            "run-to-run variation out.");
    }
    if (!kind.inconclusive_reason.empty()) {
        lines.push_back("Inconclusive: " + kind.inconclusive_reason + ".");
    }
    for (const auto& text : lines) {
        out += "<p>" + escape_html(text) + "</p>";
    }
    return out + "</div>";
}

std::string pair_section(const Comparison& comparison, const PairComparison& pair, std::size_t number) {
    const std::string base = path_of(comparison, 0);
    const std::string candidate = path_of(comparison, pair.candidate_file);
    std::string content = "<p class=\"meta\">" + escape_html(candidate) + " (new) against " +
                          escape_html(base) + " (base)</p>\n<div class=\"cards\">";
    if (!pair.comparable()) {
        content +=
            "<div class=\"card verdict verdict-not-comparable\" data-kind=\"none\"><h3>Workload</h3>"
            "<p class=\"value\">not comparable</p>";
        for (const auto& reason : pair.not_comparable) {
            content += "<p>" + escape_html(reason) + "</p>";
        }
        content += "</div>";
    }
    for (const auto& kind : pair.kinds) {
        content += kind_card(comparison, pair, kind);
    }
    content += "</div>\n";

    std::vector<TableRow> rows;
    std::string last_label;
    for (const auto& difference : pair.environment.differences) {
        // An object's members that differ are one field to a reader.
        if (difference.label == last_label) {
            continue;
        }
        last_label = difference.label;
        rows.push_back({{{difference.label, ""},
                         {difference.base_text, ""},
                         {difference.candidate_text + (difference.similar ? " (similar)" : ""), ""}},
                        difference.similar ? "similar" : "differs"});
    }
    content += "<h3>Environment</h3>";
    if (rows.empty()) {
        content += "<p>No field of the tool, the configuration or the system differs.</p>";
    } else {
        content += detail::html_table("environment", {"Field", "Base", "New"}, rows);
    }
    if (const auto& one_sided = pair.environment.known_in_one_only; !one_sided.empty()) {
        std::string names;
        for (const auto& label : one_sided) {
            names += (names.empty() ? "" : ", ") + label;
        }
        content +=
            "<p class=\"meta\">Known in one file only, so not compared: " + escape_html(names) + ".</p>";
    }
    if (!pair.notes.empty()) {
        content += "<ul class=\"notes\">";
        for (const auto& note : pair.notes) {
            content += "<li>" + escape_html(note) + "</li>";
        }
        content += "</ul>";
    }
    return detail::html_section("comparison-" + std::to_string(number),
                                file_name(candidate) + " against " + file_name(base), content);
}

// Every file's completed runs on one throughput axis, base first.
std::string runs_chart(const Comparison& comparison, const std::vector<Result>& results,
                       std::uint32_t benchmark) {
    RowChart chart;
    chart.id = std::string("runs-") + benchmark_name(benchmark);
    chart.title = std::string("Runs of each file, ") + kind_words(benchmark);
    chart.x_label = "Throughput (operations/s)";
    for (std::size_t i = 0; i < results.size(); ++i) {
        ChartRow row;
        row.label = std::string(i == 0 ? "base: " : "new: ") + file_name(path_of(comparison, i));
        for (const RunRecord* run : runs_of_kind(results[i].record.runs, benchmark).completed) {
            row.dots.push_back(run->summary.ops_per_second);
        }
        if (const auto& statistics = results[i].statistics(benchmark)) {
            row.centre = statistics->median;
            if (statistics->ci95) {
                row.low = statistics->ci95->low;
                row.high = statistics->ci95->high;
            }
        }
        row.note = row.centre ? "median " + format_rate(*row.centre) : "no completed run";
        chart.rows.push_back(std::move(row));
    }
    chart.centre_name = "median of the file's runs";
    chart.interval_name = "95 % confidence interval of the mean";
    return render_row_chart(chart);
}

// Each new file's ratio to the base with its interval, around 1 and the threshold.
std::string ratio_chart(const Comparison& comparison, std::uint32_t benchmark) {
    RowChart chart;
    chart.id = std::string("ratio-") + benchmark_name(benchmark);
    chart.title = std::string("New against base, ") + kind_words(benchmark);
    chart.x_label = "Throughput ratio, new / base";
    const double threshold = comparison.settings.threshold_percent / 100.0;
    chart.reference = 1.0;
    chart.reference_name = "no change";
    chart.band_low = 1.0 - threshold;
    chart.band_high = 1.0 + threshold;
    chart.band_name = "within the threshold (\xC2\xB1" + format_exact(threshold * 100.0) + " %)";
    chart.centre_name = "ratio";
    chart.interval_name =
        format_fixed(comparison.settings.confidence * 100.0, 0) + " % interval of the ratio";
    for (const auto& pair : comparison.pairs) {
        for (const auto& kind : pair.kinds) {
            if (kind.benchmark != benchmark) {
                continue;
            }
            ChartRow row;
            row.label = file_name(path_of(comparison, pair.candidate_file));
            row.centre = kind.ratio.ratio;
            if (kind.ratio.interval) {
                row.low = kind.ratio.interval->low;
                row.high = kind.ratio.interval->high;
            }
            row.note = verdict_words(kind.verdict);
            chart.rows.push_back(std::move(row));
        }
    }
    if (chart.rows.empty()) {
        return {};
    }
    return render_row_chart(chart);
}

std::string outcome_words(ComparisonOutcome outcome) {
    switch (outcome) {
        case ComparisonOutcome::slower:
            return "Slower (exit 3): for at least one kind the whole interval lies below the threshold.";
        case ComparisonOutcome::not_comparable:
            return "Not comparable: the workload differs between the files, so no verdict is given for it.";
        case ComparisonOutcome::inconclusive:
            return "Inconclusive (exit 5): for at least one kind the data neither show nor exclude a "
                   "slowdown "
                   "beyond the threshold; the repeats hint says how many runs would decide.";
        case ComparisonOutcome::no_slowdown:
            break;
    }
    return "Same or faster (exit 0): every interval's lower end lies above the threshold, so a slowdown "
           "beyond it is excluded at the chosen confidence.";
}

}  // namespace

std::string render_comparison_html(const Comparison& comparison, const std::vector<Result>& results,
                                   const std::string& tool_version) {
    const ComparisonSettings& settings = comparison.settings;
    std::string body = "<header><h1>Quorlind comparison</h1><p class=\"meta\">" +
                       escape_html("Base: " + path_of(comparison, 0) + ". Threshold " +
                                   format_exact(settings.threshold_percent) + " %, confidence " +
                                   format_fixed(settings.confidence * 100.0, 0) + " %.") +
                       "</p><p class=\"outcome\">" + escape_html(outcome_words(outcome_of(comparison))) +
                       "</p></header>\n";
    std::string charts;
    for (const std::uint32_t benchmark : benchmark_kinds) {
        bool present = false;
        for (const auto& result : results) {
            present = present || result.statistics(benchmark).has_value();
        }
        if (present) {
            charts += runs_chart(comparison, results, benchmark);
            charts += ratio_chart(comparison, benchmark);
        }
    }
    body += detail::html_section("charts", "Throughput", "<div class=\"charts\">\n" + charts + "</div>\n");
    for (std::size_t i = 0; i < comparison.pairs.size(); ++i) {
        body += pair_section(comparison, comparison.pairs[i], i + 1);
    }
    body += "<footer><p>Written by " + std::string(tool_name) + " " + escape_html(tool_version) +
            ". The comparison and the result documents it read are embedded in this page as JSON, in the "
            "element with the id quorlind-data.</p></footer>\n";
    Document data = {{"comparison", comparison_to_json(comparison, tool_version)},
                     {"results", Document::array()}};
    for (const auto& result : results) {
        data["results"].push_back(to_json(result));
    }
    return detail::html_page("Quorlind comparison: " + file_name(path_of(comparison, 0)), body, data);
}

}  // namespace quorlind::bench
