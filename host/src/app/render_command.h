#pragma once

#include <ostream>

#include "app/options.h"

namespace quorlind::bench {

// `quorlind-bench report RESULT.json --html FILE --openmetrics FILE`: reads a
// saved result of any version and writes the files asked for, running
// nothing. Returns the exit code; failures go to `errors`, and a bad input
// leaves no output file behind.
int render_saved_result(const ReportOptions& options, std::ostream& errors);

}  // namespace quorlind::bench
