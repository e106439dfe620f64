#pragma once

#include <ostream>

#include "app/options.h"

namespace quorlind::bench {

// `quorlind-bench report RESULT.json [--html FILE] [--openmetrics FILE]`:
// reads a saved result of any version and writes the files asked for, or
// with none asked for prints its text report, running nothing. Figures it
// worked out anew are noted on `errors`. Returns the exit code; problems go
// to `errors`, and a bad input leaves no output file behind.
int render_saved_result(const ReportOptions& options, std::ostream& errors);

}  // namespace quorlind::bench
