#include "app/render_command.h"

#include <iostream>
#include <string>

#include "app/exit_codes.h"
#include "app/failure_boundary.h"
#include "app/output_files.h"
#include "report/text/run_report.h"
#include "util/printable_text.h"

namespace quorlind::bench {
namespace {

// As after the run that made the file: a lone failed run is its reason alone.
void write_saved_report(std::ostream& out, const Result& result, std::ostream& errors) {
    const auto& runs = result.record.runs;
    for (const auto& run : runs) {
        if (run.summary.status != QUORLIND_STATUS_FAILED) {
            continue;
        }
        errors << error_prefix()
               << (runs.size() == 1 ? std::string("the run") : "run " + std::to_string(run.index + 1))
               << " failed: " << printable_text(run.reason, 1000) << '\n';
    }
    if (runs.size() != 1 || runs.front().summary.status != QUORLIND_STATUS_FAILED) {
        write_report(out, result);
    }
    out.flush();
}

// After the report, so that on a terminal it follows what it speaks of.
void note_recomputed(const Result& result, std::ostream& errors) {
    if (result.recomputed.empty()) {
        return;
    }
    std::string figures;
    for (const auto& figure : result.recomputed) {
        figures += (figures.empty() ? "" : ", ") + figure;
    }
    errors
        << "note: recomputed from the file's runs and intervals, which disagree with the figures it holds: "
        << printable_text(figures, 1000) << '\n';
}

}  // namespace

int render_saved_result(const ReportOptions& options, std::ostream& errors) {
    return run_reporting_failures(errors, [&] {
        refuse_overlaps({options.result_path}, options.outputs());
        // Claimed first, so an unwritable place is a usage error before the input is read.
        ResultOutputs outputs(options.html_path, options.openmetrics_path);
        const Result result = read_input(options.result_path);
        if (options.outputs().empty()) {
            write_saved_report(std::cout, result, errors);
        } else {
            outputs.write(result);
        }
        note_recomputed(result, errors);
        return exit_code::completed;
    });
}

}  // namespace quorlind::bench
