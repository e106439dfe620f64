#pragma once

#include "result/run_record.h"

#include <vector>

namespace quorlind::bench::exit_code {

inline constexpr int completed = 0;
inline constexpr int run_failed = 1;
inline constexpr int usage = 2;

// compare and report: 1 for a result file that cannot be read or is invalid;
// compare: 0 no slowdown, and the verdicts below.
inline constexpr int invalid_file = 1;
inline constexpr int slower = 3;
inline constexpr int not_comparable = 4;
// The data cannot tell (one run per file): no verdict, but nothing wrong.
// 3 outranks 4, which outranks 5, which outranks 0.
inline constexpr int could_not_decide = 5;

inline constexpr int interrupted = 130;

}  // namespace quorlind::bench::exit_code

namespace quorlind::bench {

// Ctrl-C outranks a failure, which outranks success: the exit code names
// the worst that happened to any run.
int exit_code_for(const std::vector<RunRecord>& runs);

}  // namespace quorlind::bench
