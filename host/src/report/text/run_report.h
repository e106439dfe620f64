#pragma once

#include "result/result.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace quorlind::bench {

// Long runs produce many intervals; the printed table joins neighbours so it
// stays short, while JSON and CSV keep every sample.
std::vector<QuorlindIntervalSample> join_samples(const std::vector<QuorlindIntervalSample>& samples,
                                                 std::size_t max_rows);

// An interval's low end can fall below zero with few runs; it is shown as it is.
std::string signed_rate(double rate);

// One run: every figure and its intervals. Several: a line per run, then the
// statistics of each kind and the scaling between them. The system record
// heads both.
void write_report(std::ostream& out, const Result& result);

}  // namespace quorlind::bench
