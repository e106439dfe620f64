#pragma once

#include <ostream>
#include <string>

#include "app/compare_options.h"

namespace quorlind::bench {

// `quorlind-bench compare`: reads every file first, so that a bad one stops
// everything before any output file exists; then compares, writes the text
// report and the JSON, and returns the exit code (see exit_codes.h).
int run_compare(const CompareOptions& options, const std::string& tool_version, std::ostream& out,
                std::ostream& err);

}  // namespace quorlind::bench
