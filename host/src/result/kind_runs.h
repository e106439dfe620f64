#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "result/run_record.h"
#include "stats/kind_statistics.h"

namespace quorlind::bench {

// The runs of one kind in the order they ran, and those of them that
// completed: the only runs any figure of the kind is measured over.
struct KindRuns {
    std::vector<const RunRecord*> started;
    std::vector<const RunRecord*> completed;
};

KindRuns runs_of_kind(const std::vector<RunRecord>& runs, std::uint32_t benchmark);

// Empty when no run of that kind started.
std::optional<KindStatistics> kind_statistics(const ResultRecord& result, std::uint32_t benchmark);

// Empty unless both kinds have a completed run. physical_cores: the cores
// the runs could use, where known.
std::optional<Scaling> result_scaling(const ResultRecord& result, std::optional<unsigned> physical_cores);

}  // namespace quorlind::bench
