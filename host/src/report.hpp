#pragma once

#include "run_record.hpp"

#include <cstddef>
#include <ostream>
#include <vector>

namespace quorlind::bench {

// Long runs produce many intervals; the printed table joins neighbours so it
// stays short, while JSON and CSV keep every sample.
std::vector<QuorlindIntervalSample> join_samples(const std::vector<QuorlindIntervalSample> &samples,
                                                 std::size_t max_rows);

std::string system_line(const SystemDescription &system);

void write_report(std::ostream &out, const RunRecord &record);

} // namespace quorlind::bench
