#include "report/text/comparison_report.h"

#include <algorithm>
#include <vector>

#include "report/text/columns.h"
#include "result/names.h"
#include "util/number_format.h"
#include "util/printable_text.h"

namespace quorlind::bench {
namespace {

constexpr std::size_t max_path_bytes = 300;
constexpr std::size_t max_value_bytes = 60;

using Row = std::vector<std::string>;

// Columns sized to their widest cell; numbers right-aligned.
void write_table(std::ostream& out, const std::vector<Row>& rows, const std::vector<bool>& right,
                 std::size_t indent) {
    std::vector<std::size_t> widths(right.size(), 0);
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    for (const auto& row : rows) {
        std::string line(indent, ' ');
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += right[i] ? pad_left(row[i], widths[i]) : pad_right(row[i], widths[i]);
            line += "  ";
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

Row table_row(const Comparison& comparison, const PairComparison& pair, const KindComparison& kind) {
    Row row{file_label(comparison, pair.candidate_file), kind_label(kind.benchmark),
            format_rate(kind.base.ops_per_second), format_rate(kind.candidate.ops_per_second),
            format_fixed(kind.ratio.ratio, 4)};
    row.push_back(kind.ratio.interval ? format_fixed(kind.ratio.interval->low, 4) + " - " +
                                            format_fixed(kind.ratio.interval->high, 4)
                                      : "unknown");
    row.push_back(format_signed_percent(kind.ratio.change_percent()));
    row.push_back(kind.verdict ? verdict_text(*kind.verdict) : "not comparable");
    return row;
}

std::string statistic_text(const RatioEstimate& ratio) {
    if (!ratio.t) {
        return "";
    }
    return " (t = " + format_fixed(*ratio.t, 2) + ", " + format_fixed(*ratio.degrees_of_freedom, 1) +
           " degrees of freedom)";
}

std::string uncertainty_text(const KindComparison& kind) {
    std::string text = std::string(kind_label(kind.benchmark)) + ": ";
    switch (kind.source) {
        case UncertaintySource::between_runs:
            return text + "from the spread between runs, Welch's t-test on " +
                   std::to_string(kind.base.runs) + " and " + std::to_string(kind.candidate.runs) +
                   " run throughputs" + statistic_text(kind.ratio);
        case UncertaintySource::pooled_runs:
            return text + "from the spread between runs, pooled t-test on the log throughputs of " +
                   std::to_string(kind.base.runs) + " and " + std::to_string(kind.candidate.runs) + " runs" +
                   statistic_text(kind.ratio) + "; the single run takes the other file's spread, up to " +
                   format_exact(single_run_spread_allowance) + " times over, since " +
                   (kind.same_machine_asserted ? "--same-machine says both come from one machine"
                                               : "both files come from the same machine");
        case UncertaintySource::within_runs:
            break;
    }
    text += "for information only, the interval from the interval rates within the runs (" +
            format_count(kind.base.intervals, "interval", "intervals") + " in BASE, " +
            std::to_string(kind.candidate.intervals) + " in NEW), which leaves run-to-run variation out";
    if (!kind.ratio.interval) {
        text += "; too few intervals even for that (each file needs 2)";
    }
    return text;
}

// The p-value beside a verdict, always with the question it answers.
std::string test_text(const Comparison& comparison, const KindComparison& kind) {
    std::string text = std::string(kind_label(kind.benchmark)) + ": ";
    const std::string threshold = format_exact(comparison.settings.threshold_percent) + " %";
    if (!kind.test) {
        return text + "inconclusive: " + kind.inconclusive_reason;
    }
    const bool faster = kind.verdict == Verdict::faster;
    const double p = faster ? kind.test->p_faster : kind.test->p_slower;
    if (comparison.settings.threshold_percent == 0.0) {
        text += std::string("one-sided p = ") + format_fixed(p, 4) + " for 'NEW is " +
                (faster ? "faster" : "slower") + " than BASE'";
    } else {
        text += std::string("one-sided p = ") + format_fixed(p, 4) + " for 'NEW is " +
                (faster ? "faster" : "slower") + " by more than " + threshold + "'";
    }
    // The adjustment is of the test's decisive p; beside any other it would mislead.
    if (comparison.tests > 1 && kind.adjusted_p && p == kind.test->decisive()) {
        text += ", " + format_fixed(*kind.adjusted_p, 4) + " Holm-adjusted";
    }
    if (comparison.settings.threshold_percent == 0.0 && kind.ratio.p_value) {
        text += "; two-sided p = " + format_fixed(*kind.ratio.p_value, 4) + " against no change";
    }
    return text;
}

std::string hint_text(const Comparison& comparison, const KindComparison& kind) {
    std::string text = std::string(kind_label(kind.benchmark)) + ": ";
    const std::string detect = format_exact(comparison.settings.detect_or_default()) + " %";
    if (!kind.run_spread) {
        return text + "with one run per file no run-to-run spread is known, so the repeats a " + detect +
               " slowdown needs cannot be told; run both with --repeat 3 or more";
    }
    const std::string spread = format_fixed(kind.run_spread->log_standard_deviation * 100.0, 2) + " %";
    if (!kind.runs_needed) {
        return text + "the runs vary by " + spread + " from run to run; a " + detect +
               " slowdown would take more than 1000 runs per file to come out slower";
    }
    return text + "the runs vary by " + spread + " from run to run; with about " +
           std::to_string(*kind.runs_needed) + " runs per file (--repeat " +
           std::to_string(std::max<std::size_t>(*kind.runs_needed, 3)) + ") a true " + detect +
           " slowdown comes out slower " + format_exact(hint_power * 100.0) +
           " % of the time under this test, threshold and confidence, Holm included (--detect sets the size)";
}

// " (run 2 disturbed)", " (runs 1, 3 disturbed)"; empty for none.
std::string disturbed_runs_text(const std::vector<std::size_t>& runs) {
    if (runs.empty()) {
        return {};
    }
    std::string text = runs.size() == 1 ? " (run " : " (runs ";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(runs[i] + 1);
    }
    return text + " disturbed)";
}

void write_labelled(std::ostream& out, const char* label, const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out << "  " << pad_right(i == 0 ? label : "", 13) << lines[i] << '\n';
    }
}

void write_pair_details(std::ostream& out, const Comparison& comparison, const PairComparison& pair) {
    out << '\n'
        << file_label(comparison, pair.candidate_file) << " against BASE"
        << (pair.comparable() ? "" : ": not comparable") << '\n';
    std::vector<std::string> reasons;
    for (const auto& reason : pair.not_comparable) {
        reasons.push_back(printable_text(reason, 300));
    }
    write_labelled(out, "Why not", reasons);
    std::vector<std::string> sources;
    for (const auto& kind : pair.kinds) {
        sources.push_back(uncertainty_text(kind));
    }
    if (pair.comparable()) {
        write_labelled(out, "Uncertainty", sources);
        std::vector<std::string> tests;
        std::vector<std::string> hints;
        for (const auto& kind : pair.kinds) {
            tests.push_back(test_text(comparison, kind));
            if (kind.hint) {
                hints.push_back(hint_text(comparison, kind));
            }
        }
        write_labelled(out, "Tests", tests);
        write_labelled(out, "Repeats", hints);
    }

    std::vector<Row> rows;
    std::string last_label;
    for (const auto& difference : pair.environment.differences) {
        // An object's members that differ are one field to a reader.
        if (difference.label == last_label) {
            continue;
        }
        last_label = difference.label;
        rows.push_back({printable_text(difference.label, max_value_bytes),
                        printable_text(difference.base_text, max_value_bytes), "->",
                        printable_text(difference.candidate_text, max_value_bytes),
                        difference.similar ? "similar" : ""});
    }
    if (rows.empty()) {
        out << "  Environment  no known difference\n";
    } else {
        out << "  Environment  BASE -> NEW\n";
        write_table(out, rows, {false, false, false, false, false}, 15);
    }
    if (const auto& one_sided = pair.environment.known_in_one_only; !one_sided.empty()) {
        // Wrapped, since an older file knows few of the fields.
        const std::string indent(15, ' ');
        std::string line = indent + "known in only one file: ";
        for (std::size_t i = 0; i < one_sided.size(); ++i) {
            const std::string name =
                printable_text(one_sided[i], max_value_bytes) + (i + 1 < one_sided.size() ? "," : "");
            if (line.size() + name.size() > 100 && line.size() > indent.size()) {
                out << line << '\n';
                line = indent + "  ";
            } else if (line.back() != ' ') {
                line += ' ';
            }
            line += name;
        }
        out << line << '\n';
    }
    std::vector<std::string> notes;
    for (const auto& note : pair.notes) {
        notes.push_back(printable_text(note, 300));
    }
    write_labelled(out, "Notes", notes);
}

}  // namespace

std::string file_label(const Comparison& comparison, std::size_t index) {
    if (index == 0) {
        return "BASE";
    }
    return comparison.files.size() == 2 ? "NEW" : "NEW " + std::to_string(index);
}

std::string confidence_text(double confidence) { return format_exact(confidence * 100.0) + " %"; }

std::vector<std::vector<std::string>> verdict_table(const Comparison& comparison) {
    std::vector<Row> rows{{"", "kind", "BASE ops/s", "NEW ops/s", "NEW/BASE",
                           confidence_text(comparison.settings.confidence) + " interval", "change",
                           "verdict"}};
    for (const auto& pair : comparison.pairs) {
        for (const auto& kind : pair.kinds) {
            rows.push_back(table_row(comparison, pair, kind));
        }
        if (pair.kinds.empty()) {
            rows.push_back({file_label(comparison, pair.candidate_file), "-", "-", "-", "-", "-", "-",
                            "not comparable"});
        }
    }
    return rows;
}

std::vector<bool> verdict_columns_right_aligned() {
    return {false, false, true, true, true, false, true, false};
}

void write_comparison_report(std::ostream& out, const Comparison& comparison) {
    out << "Quorlind comparison: threshold " << format_exact(comparison.settings.threshold_percent)
        << " %, confidence " << confidence_text(comparison.settings.confidence) << '\n';
    for (std::size_t i = 0; i < comparison.files.size(); ++i) {
        const ComparedFile& file = comparison.files[i];
        out << "  " << pad_right(file_label(comparison, i), 7) << printable_text(file.path, max_path_bytes);
        if (file.start_time_utc) {
            out << " (started " << printable_text(*file.start_time_utc, 40) << ")";
        }
        if (file.schema_version_read == 1) {
            out << " (an older result file: one run, no system details)";
        }
        out << disturbed_runs_text(file.disturbed_runs) << '\n';
    }
    out << '\n';

    write_table(out, verdict_table(comparison), verdict_columns_right_aligned(), 2);
    if (comparison.tests > 1) {
        out << "\n"
            << comparison.tests
            << " tests decide together: their levels are adjusted by the Holm-Bonferroni method, so that all "
               "verdicts together hold at "
            << confidence_text(comparison.settings.confidence)
            << " (an interval shown is each test's own, unadjusted)\n";
    } else if (comparison.tests == 1) {
        out << "\n1 test decides: no adjustment of its level is needed\n";
    }
    for (const auto& pair : comparison.pairs) {
        write_pair_details(out, comparison, pair);
    }
}

}  // namespace quorlind::bench
