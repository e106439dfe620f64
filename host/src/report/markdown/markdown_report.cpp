#include "report/markdown/markdown_report.h"

#include <cstring>
#include <vector>

#include "report/text/comparison_report.h"
#include "report/text/run_report.h"
#include "result/kind_runs.h"
#include "result/names.h"
#include "report/text/stability_text.h"
#include "util/number_format.h"
#include "util/printable_text.h"

namespace quorlind::bench {
namespace {

using Row = std::vector<std::string>;

// Cells are the tool's own words and numbers, or text already passed through
// markdown_text; right-aligned columns hold numbers.
void write_table(std::ostream& out, const std::vector<Row>& rows, const std::vector<bool>& right) {
    if (rows.empty()) {
        return;
    }
    const auto write_row = [&](const Row& row) {
        out << '|';
        for (const auto& cell : row) {
            out << ' ' << cell << " |";
        }
        out << '\n';
    };
    write_row(rows.front());
    out << '|';
    for (std::size_t i = 0; i < rows.front().size(); ++i) {
        out << (i < right.size() && right[i] ? " ---: |" : " --- |");
    }
    out << '\n';
    for (std::size_t i = 1; i < rows.size(); ++i) {
        write_row(rows[i]);
    }
}

std::string runs_cell(const KindStatistics& statistics) {
    if (statistics.completed == statistics.runs) {
        return std::to_string(statistics.runs);
    }
    return std::to_string(statistics.completed) + " of " + std::to_string(statistics.runs) + " completed";
}

std::string interval_cell(const KindStatistics& statistics) {
    if (!statistics.ci95) {
        return statistics.completed == 1 ? "- (one run)" : "-";
    }
    return signed_rate(statistics.ci95->low) + " to " + signed_rate(statistics.ci95->high);
}

// Each completed run's stability in the text report's words; runs that were
// stable are named only when some were not.
std::string stability_cell(const KindRuns& runs) {
    if (runs.completed.empty()) {
        return "-";
    }
    if (runs.completed.size() == 1) {
        return stability_text(*runs.completed.front(), StabilityWording::sentence);
    }
    std::string unsettled;
    for (const RunRecord* run : runs.completed) {
        const std::string text = stability_text(*run, StabilityWording::sentence);
        if (text != "stable") {
            unsettled += (unsettled.empty() ? "" : "; ") + std::string("run ") +
                         std::to_string(run->index + 1) + ": " + text;
        }
    }
    return unsettled.empty() ? std::string("every run stable") : unsettled;
}

std::string ratio_line(const Scaling& scaling) {
    std::string text =
        "Multi-core ratio: " + format_fixed(scaling.multi_core_ratio, 2) + " \xC3\x97 the single-thread rate";
    if (scaling.pairs == 0) {
        return text + " (from the medians: no single and all-threads pair completed)";
    }
    if (scaling.multi_core_ratio_interval) {
        return text + " (from " + format_count(scaling.pairs, "pair", "pairs") +
               " of alternating runs, net of a linear trend; 95 % confidence interval " +
               format_fixed(scaling.multi_core_ratio_interval->low, 2) + " to " +
               format_fixed(scaling.multi_core_ratio_interval->high, 2) + ")";
    }
    return text + " (geometric mean of " + format_count(scaling.pairs, "pair", "pairs") +
           " of neighbouring runs)";
}

std::string plan_line(const ResultRecord& record) {
    return format_count(record.runs.size(), "run", "runs") + ", " +
           format_seconds_exact(record.warmup_seconds) + " warm-up and " +
           format_seconds_exact(record.measurement_seconds) + " measured each; " + markdown_text(tool_name) +
           " " + markdown_text(record.tool_version, 40) + ", library " +
           markdown_text(record.system.library_version, 40);
}

const char* outcome_meaning(ComparisonOutcome outcome) {
    switch (outcome) {
        case ComparisonOutcome::slower:
            return "slower: the whole interval lies below -threshold";
        case ComparisonOutcome::not_comparable:
            return "not comparable: a different library, warm-up or measured time, or no kind of run in "
                   "common";
        case ComparisonOutcome::inconclusive:
            return "inconclusive: the interval does not exclude a slowdown beyond the threshold, or the runs "
                   "cannot tell";
        case ComparisonOutcome::no_slowdown:
            break;
    }
    return "same or faster: a slowdown beyond the threshold is excluded at the chosen confidence";
}

}  // namespace

std::string markdown_text(std::string_view text, std::size_t max_bytes) {
    // Line breaks would end the table row (printable_text escapes them); the
    // rest, left bare, could start emphasis, code, a link, a table cell, an
    // entity or raw HTML. The text never starts a line, so list and heading
    // marks are harmless.
    constexpr const char* active = "\\`*_[]<>|~&";
    std::string out;
    for (const char c : printable_text(text, max_bytes)) {
        if (c != '\0' && std::strchr(active, c) != nullptr) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

void write_run_markdown(std::ostream& out, const Result& result) {
    const ResultRecord& record = result.record;
    const std::string processor =
        record.system.processor.empty() ? "unknown processor" : markdown_text(record.system.processor);
    out << "### Quorlind benchmark: " << processor << "\n\n" << plan_line(record) << "\n\n";
    std::vector<Row> rows{{"kind", "runs", "median ops/s", "95 % interval", "run to run", "stability"}};
    for (const std::uint32_t benchmark : benchmark_kinds) {
        const auto& statistics = result.statistics(benchmark);
        if (!statistics) {
            continue;
        }
        rows.push_back({kind_heading(benchmark), runs_cell(*statistics),
                        statistics->median ? format_rate(*statistics->median) : "-",
                        interval_cell(*statistics),
                        statistics->cv_percent ? format_percent(*statistics->cv_percent, 2) : "-",
                        stability_cell(runs_of_kind(record.runs, benchmark))});
    }
    if (rows.size() == 1) {
        out << "No run started.\n";
        return;
    }
    write_table(out, rows, {false, true, true, true, true, false});
    if (result.scaling) {
        out << '\n' << ratio_line(*result.scaling) << '\n';
    }
}

void write_comparison_markdown(std::ostream& out, const Comparison& comparison, int exit_code) {
    out << "### Quorlind comparison\n\n"
        << "Threshold " << format_exact(comparison.settings.threshold_percent) << " %, confidence "
        << confidence_text(comparison.settings.confidence) << ".\n\n";
    std::vector<Row> files{{"", "file"}};
    for (std::size_t i = 0; i < comparison.files.size(); ++i) {
        const ComparedFile& file = comparison.files[i];
        std::string cell = markdown_text(file.path, 300);
        if (file.start_time_utc) {
            cell += " (started " + markdown_text(*file.start_time_utc, 40) + ")";
        }
        files.push_back({file_label(comparison, i), cell});
    }
    write_table(out, files, {false, false});
    out << '\n';
    write_table(out, verdict_table(comparison), verdict_columns_right_aligned());
    for (const auto& pair : comparison.pairs) {
        for (const auto& reason : pair.not_comparable) {
            out << "\n"
                << file_label(comparison, pair.candidate_file)
                << " is not comparable: " << markdown_text(reason, 300) << '\n';
        }
    }
    out << "\n**Exit code " << exit_code << ": " << outcome_meaning(outcome_of(comparison)) << ".**\n";
}

}  // namespace quorlind::bench
