#include "app/render_command.h"

#include "app/exit_codes.h"
#include "app/failure_boundary.h"
#include "app/output_files.h"

namespace quorlind::bench {

int render_saved_result(const ReportOptions& options, std::ostream& errors) {
    return run_reporting_failures(errors, [&] {
        refuse_overlaps({options.result_path}, options.outputs());
        // Claimed first, so an unwritable place is a usage error before the input is read.
        ResultOutputs outputs(options.html_path, options.openmetrics_path);
        outputs.write(read_input(options.result_path));
        return exit_code::completed;
    });
}

}  // namespace quorlind::bench
