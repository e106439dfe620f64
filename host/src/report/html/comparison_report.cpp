#include "report/html/comparison_report.h"

#include <array>
#include <cmath>

#include "util/html_escape.h"
#include "report/html/page.h"
#include "result/names.h"
#include "util/number_format.h"
#include "report/svg/chart.h"
#include "report/html/system_fields.h"

namespace quorlind::bench {
namespace {

using detail::Cell;
using detail::TableRow;

constexpr std::array<const char*, 2> kinds = {"single", "all"};

std::string kind_words(const std::string& kind) {
    return kind == "all" ? "all threads" : kind == "single" ? "single thread" : kind;
}

// The file's name without its directories: what a reader recognises, and short enough for a chart label.
std::string file_name(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string path_of(const Document& comparison, std::size_t file) {
    const Document* files = find_member(comparison, {"files"});
    if (files != nullptr && files->is_array() && file < files->size()) {
        return find_text((*files)[file], {"path"});
    }
    return "file " + std::to_string(file + 1);
}

std::size_t file_index(const Document& pair, const char* member) {
    const auto index = find_number(pair, {member});
    return index && *index >= 0 ? static_cast<std::size_t>(*index) : 0;
}

// "3.2 % slower", in words a reader need not decode.
std::string change_words(double ratio) {
    const double change = (ratio - 1.0) * 100.0;
    if (std::fabs(change) < 0.05) {
        return "the same speed";
    }
    return format_percent(std::fabs(change), 1) + (change < 0 ? " slower" : " faster");
}

std::string verdict_class(const std::string& verdict) {
    if (verdict == "slower") {
        return "verdict-slower";
    }
    if (verdict == "faster") {
        return "verdict-faster";
    }
    return verdict.empty() ? "verdict-not-comparable" : "verdict-same";
}

std::string estimate_text(const Document& estimate) {
    const auto rate = find_number(estimate, {"ops_per_second"});
    std::string text = rate ? format_rate(*rate) + " operations/s" : std::string("-");
    const auto runs = find_number(estimate, {"runs"});
    if (runs) {
        text += " (" + format_fixed(*runs, 0) + (*runs == 1.0 ? " run)" : " runs)");
    }
    return text;
}

std::string kind_card(const Document& comparison, const Document& pair, const Document& kind) {
    const std::string threads = find_text(kind, {"threads"});
    const std::string verdict = find_text(kind, {"verdict"});
    const std::string base = file_name(path_of(comparison, file_index(pair, "base")));
    const std::string candidate = file_name(path_of(comparison, file_index(pair, "new")));
    std::string out = "<div class=\"card verdict " + verdict_class(verdict) + "\" data-kind=\"" +
                      escape_html(threads) + "\"><h3>" + escape_html(kind_words(threads)) +
                      "</h3><p class=\"value\">" + escape_html(verdict.empty() ? "not comparable" : verdict) +
                      "</p>";
    std::vector<std::string> lines;
    if (const auto ratio = find_number(kind, {"ratio"})) {
        std::string line = candidate + " is " + change_words(*ratio) + " than " + base + ": ratio " +
                           format_fixed(*ratio, 3);
        const auto low = find_number(kind, {"ratio_ci_low"});
        const auto high = find_number(kind, {"ratio_ci_high"});
        if (low && high) {
            const auto confidence = find_number(comparison, {"settings", "confidence"}).value_or(0.95);
            line += ", " + format_fixed(confidence * 100.0, 0) + " % interval " + format_fixed(*low, 3) +
                    " to " + format_fixed(*high, 3);
        }
        lines.push_back(line + ".");
    }
    if (const Document* estimate = find_member(kind, {"base"})) {
        lines.push_back("base: " + estimate_text(*estimate));
    }
    if (const Document* estimate = find_member(kind, {"new"})) {
        lines.push_back("new: " + estimate_text(*estimate));
    }
    if (find_text(kind, {"uncertainty", "source"}) == "between_runs") {
        lines.push_back("Uncertainty from the spread between runs (Welch's t test on the run throughputs).");
    } else {
        lines.push_back(
            "Uncertainty from the intervals within the runs only: run-to-run variation is not covered. "
            "Repeat "
            "the runs (--repeat 3 or more) for a verdict that covers it.");
    }
    for (const auto& line : lines) {
        out += "<p>" + escape_html(line) + "</p>";
    }
    return out + "</div>";
}

std::string pair_section(const Document& comparison, const Document& pair, std::size_t number) {
    const std::string base = path_of(comparison, file_index(pair, "base"));
    const std::string candidate = path_of(comparison, file_index(pair, "new"));
    std::string content = "<p class=\"meta\">" + escape_html(candidate) + " (new) against " +
                          escape_html(base) + " (base)</p>\n<div class=\"cards\">";
    if (!find_bool(pair, {"comparable"}).value_or(true)) {
        content +=
            "<div class=\"card verdict verdict-not-comparable\" data-kind=\"none\"><h3>Workload</h3>"
            "<p class=\"value\">not comparable</p>";
        if (const Document* reasons = find_member(pair, {"not_comparable_reasons"});
            reasons && reasons->is_array()) {
            for (const auto& reason : *reasons) {
                content += "<p>" +
                           escape_html(reason.is_string() ? reason.get<std::string>() : reason.dump()) +
                           "</p>";
            }
        }
        content += "</div>";
    }
    if (const Document* kinds_compared = find_member(pair, {"kinds"});
        kinds_compared && kinds_compared->is_array()) {
        for (const auto& kind : *kinds_compared) {
            content += kind_card(comparison, pair, kind);
        }
    }
    content += "</div>\n";

    std::vector<TableRow> rows;
    if (const Document* differences = find_member(pair, {"environment"});
        differences && differences->is_array()) {
        for (const auto& difference : *differences) {
            const std::string field = find_text(difference, {"field"});
            const SystemField base_value = describe_field(field, find_member(difference, {"base"}));
            const SystemField new_value = describe_field(field, find_member(difference, {"new"}));
            rows.push_back(
                {{{base_value.label, ""}, {base_value.value, ""}, {new_value.value, ""}}, "differs"});
        }
    }
    content += "<h3>Environment</h3>";
    if (rows.empty()) {
        content += "<p>No field of the tool, the configuration or the system differs.</p>";
    } else {
        content += detail::html_table("environment", {"Field", "Base", "New"}, rows);
    }
    if (const auto unknown = find_number(pair, {"fields_known_in_one_file"}); unknown && *unknown > 0) {
        content += "<p class=\"meta\">" + format_fixed(*unknown, 0) +
                   " more fields are known in one file only and cannot be compared.</p>";
    }
    if (const Document* notes = find_member(pair, {"notes"}); notes && notes->is_array() && !notes->empty()) {
        content += "<ul class=\"notes\">";
        for (const auto& note : *notes) {
            content +=
                "<li>" + escape_html(note.is_string() ? note.get<std::string>() : note.dump()) + "</li>";
        }
        content += "</ul>";
    }
    return detail::html_section("comparison-" + std::to_string(number),
                                file_name(candidate) + " against " + file_name(base), content);
}

bool has_kind(const Document& result, const char* kind) {
    return find_member(result, {"statistics", kind}) != nullptr;
}

// Every file's completed runs on one throughput axis, base first.
std::string runs_chart(const Document& comparison, const std::vector<Document>& results, const char* kind) {
    RowChart chart;
    chart.id = std::string("runs-") + kind;
    chart.title = "Runs of each file, " + kind_words(kind);
    chart.x_label = "Throughput (operations/s)";
    for (std::size_t i = 0; i < results.size(); ++i) {
        ChartRow row;
        row.label = std::string(i == 0 ? "base: " : "new: ") + file_name(path_of(comparison, i));
        if (const Document* runs = find_member(results[i], {"runs"}); runs && runs->is_array()) {
            for (const auto& run : *runs) {
                const auto rate = find_number(run, {"summary", "ops_per_second"});
                if (find_text(run, {"threads"}) == kind &&
                    find_text(run, {"status", "name"}) == "completed" &&
                    !find_bool(run, {"partial"}).value_or(false) && rate) {
                    row.dots.push_back(*rate);
                }
            }
        }
        row.centre = find_number(results[i], {"statistics", kind, "median"});
        row.low = find_number(results[i], {"statistics", kind, "ci95_low"});
        row.high = find_number(results[i], {"statistics", kind, "ci95_high"});
        row.note = row.centre ? "median " + format_rate(*row.centre) : "no completed run";
        chart.rows.push_back(std::move(row));
    }
    chart.centre_name = "median of the file's runs";
    chart.interval_name = "95 % confidence interval of the mean";
    return render_row_chart(chart);
}

// Each new file's ratio to the base with its interval, around 1 and the threshold.
std::string ratio_chart(const Document& comparison, const char* kind) {
    RowChart chart;
    chart.id = std::string("ratio-") + kind;
    chart.title = "New against base, " + kind_words(kind);
    chart.x_label = "Throughput ratio, new / base";
    const double threshold = find_number(comparison, {"settings", "threshold_percent"}).value_or(2.0) / 100.0;
    const double confidence = find_number(comparison, {"settings", "confidence"}).value_or(0.95);
    chart.reference = 1.0;
    chart.reference_name = "no change";
    chart.band_low = 1.0 - threshold;
    chart.band_high = 1.0 + threshold;
    chart.band_name = "within the threshold (\xC2\xB1" + format_exact(threshold * 100.0) + " %)";
    chart.centre_name = "ratio";
    chart.interval_name = format_fixed(confidence * 100.0, 0) + " % interval of the ratio";
    if (const Document* pairs = find_member(comparison, {"comparisons"}); pairs && pairs->is_array()) {
        for (const auto& pair : *pairs) {
            const Document* kinds_compared = find_member(pair, {"kinds"});
            if (kinds_compared == nullptr || !kinds_compared->is_array()) {
                continue;
            }
            for (const auto& compared : *kinds_compared) {
                if (find_text(compared, {"threads"}) != kind) {
                    continue;
                }
                ChartRow row;
                row.label = file_name(path_of(comparison, file_index(pair, "new")));
                row.centre = find_number(compared, {"ratio"});
                row.low = find_number(compared, {"ratio_ci_low"});
                row.high = find_number(compared, {"ratio_ci_high"});
                const std::string verdict = find_text(compared, {"verdict"});
                row.note = verdict.empty() ? "not comparable" : verdict;
                chart.rows.push_back(std::move(row));
            }
        }
    }
    if (chart.rows.empty()) {
        return {};
    }
    return render_row_chart(chart);
}

std::string outcome_words(const std::string& outcome) {
    if (outcome == "slower") {
        return "Slower: at least one file is slower than the base beyond the threshold.";
    }
    if (outcome == "not_comparable" || outcome == "not comparable") {
        return "Not comparable: the workload differs between the files, so no verdict is given for it.";
    }
    return "No slowdown beyond the threshold.";
}

}  // namespace

std::string render_comparison_html(const Document& comparison, const std::vector<Document>& results) {
    const double threshold = find_number(comparison, {"settings", "threshold_percent"}).value_or(2.0);
    const double confidence = find_number(comparison, {"settings", "confidence"}).value_or(0.95);
    std::string body =
        "<header><h1>Quorlind comparison</h1><p class=\"meta\">" +
        escape_html("Base: " + path_of(comparison, 0) + ". Threshold " + format_exact(threshold) +
                    " %, confidence " + format_fixed(confidence * 100.0, 0) + " %.") +
        "</p><p class=\"outcome\">" + escape_html(outcome_words(find_text(comparison, {"outcome"}))) +
        "</p></header>\n";
    std::string charts;
    for (const char* kind : kinds) {
        bool present = false;
        for (const auto& result : results) {
            present = present || has_kind(result, kind);
        }
        if (present) {
            charts += runs_chart(comparison, results, kind);
            charts += ratio_chart(comparison, kind);
        }
    }
    body += detail::html_section("charts", "Throughput", "<div class=\"charts\">\n" + charts + "</div>\n");
    if (const Document* pairs = find_member(comparison, {"comparisons"}); pairs && pairs->is_array()) {
        for (std::size_t i = 0; i < pairs->size(); ++i) {
            body += pair_section(comparison, (*pairs)[i], i + 1);
        }
    }
    body += "<footer><p>Written by " + std::string(tool_name) + " " +
            escape_html(find_text(comparison, {"tool", "version"})) +
            ". The comparison and the result documents it read are embedded in this page as JSON, in the "
            "element with the id quorlind-data.</p></footer>\n";
    Document data = {{"comparison", comparison}, {"results", Document::array()}};
    for (const auto& result : results) {
        data["results"].push_back(result);
    }
    return detail::html_page("Quorlind comparison: " + file_name(path_of(comparison, 0)), body, data);
}

}  // namespace quorlind::bench
