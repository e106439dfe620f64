#pragma once

#include "result/run_record.h"

#include <cstdint>
#include <vector>

namespace quorlind::bench {

// The kinds to run in order: with both, single and all alternate so that a
// drifting machine affects them alike.
std::vector<std::uint32_t> planned_benchmarks(ThreadMode mode, unsigned repeat);

}  // namespace quorlind::bench
