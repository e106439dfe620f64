#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "result/result.h"

namespace quorlind::bench {

// How every error line begins, whichever subcommand failed.
std::string error_prefix();

// Runs one subcommand: a Failure raised anywhere inside it becomes its one
// line on `err` and its exit code (see exit_codes.h).
int run_reporting_failures(std::ostream& err, const std::function<int()>& subcommand);

// A result file given as an input, its reader's refusal turned into an
// invalid_input Failure.
Result read_input(const std::string& path);

}  // namespace quorlind::bench
