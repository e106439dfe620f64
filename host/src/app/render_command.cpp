#include "app/render_command.h"

#include "app/error_prefix.h"
#include "app/exit_codes.h"
#include "app/output_files.h"
#include "result/reader.h"
#include "util/printable_text.h"

namespace quorlind::bench {

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
    if (const std::string error = outputs.write(result); !error.empty()) {
        errors << error_prefix("report") << printable_text(error, 1000) << '\n';
        return exit_code::run_failed;
    }
    return exit_code::completed;
}

}  // namespace quorlind::bench
