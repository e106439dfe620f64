#pragma once

#include "result/run_record.h"
#include "util/failure.h"

#include <vector>

namespace quorlind::bench::exit_code {

inline constexpr int completed = 0;
inline constexpr int run_failed = 1;
inline constexpr int usage = 2;

// compare and report: 1 for a result file that cannot be read or is invalid,
// and for any command an output that could not be written;
// compare: 0 no slowdown, and the verdicts below.
inline constexpr int file_failed = 1;
inline constexpr int slower = 3;
inline constexpr int not_comparable = 4;
// The data cannot tell (one run per file): no verdict, but nothing wrong.
// 3 outranks 4, which outranks 5, which outranks 0.
inline constexpr int could_not_decide = 5;

// Cancelled: 128 + the signal's number, as a shell reports it.
inline constexpr int interrupted = 130;  // SIGINT, Ctrl-C
inline constexpr int hung_up = 129;      // SIGHUP, the terminal closed
inline constexpr int terminated = 143;   // SIGTERM, a stop asked for

}  // namespace quorlind::bench::exit_code

namespace quorlind::bench {

// Cancelling outranks a failure, which outranks success: the exit code names
// the worst that happened to any run.
int exit_code_for(const std::vector<RunRecord>& runs);

int exit_code_of(Failure::Kind kind);

}  // namespace quorlind::bench
