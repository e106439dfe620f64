#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compare/comparison.h"
#include "result/result.h"

namespace quorlind::bench {

// The positions (index) of the runs whose load says they were disturbed.
std::vector<std::size_t> disturbed_runs(const Result& result);

// The share of the completed runs' time of one kind that their workers did
// not get, weighted by the runs' lengths; empty where no run tells it.
std::optional<double> lost_share(const Result& result, std::uint32_t benchmark);

// For each kind whose two files lost more time than the change it judges:
// "single thread: NEW's runs lost 9 % of their time to other processes,
// BASE's 0.3 %". The statistics are left as they are; a reader weighs it.
void add_disturbance_notes(PairComparison& pair, const Result& base, const Result& candidate,
                           const std::string& candidate_label);

}  // namespace quorlind::bench
