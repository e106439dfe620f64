#include "app/render_command.h"

#include <iostream>

#include "app/error_prefix.h"
#include "app/exit_codes.h"
#include "app/output_files.h"
#include "report/text/run_report.h"
#include "result/reader.h"
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
        errors << error_prefix("report")
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
    // Claimed first, so an unwritable place is a usage error before the input is read.
    ResultOutputs outputs(options.html_path, options.openmetrics_path);
    if (!outputs.open_error().empty()) {
        errors << error_prefix("report") << printable_text(outputs.open_error(), 1000) << '\n';
        return exit_code::usage;
    }
    Result result;
    try {
        result = read_result_file(options.result_path);
    } catch (const InvalidResultFile& error) {
        errors << error_prefix("report") << printable_text(error.what(), 1000) << '\n';
        return exit_code::invalid_file;
    }
    if (options.html_path.empty() && options.openmetrics_path.empty()) {
        write_saved_report(std::cout, result, errors);
    } else if (const std::string error = outputs.write(result); !error.empty()) {
        errors << error_prefix("report") << printable_text(error, 1000) << '\n';
        return exit_code::run_failed;
    }
    note_recomputed(result, errors);
    return exit_code::completed;
}

}  // namespace quorlind::bench
