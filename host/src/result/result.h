#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "result/kind_runs.h"
#include "result/run_record.h"

namespace quorlind::bench {

// One result as every writer reads it, whether a run has just made it or it
// was read from a file of any version: the record of what ran and where, and
// the figures worked out from it once (each run's stability in the record,
// each kind's statistics, the scaling). For a file too they are worked out
// again from its runs and intervals, by the same code as after a run.
// Every string may have come from a file: treat it as data.
struct Result {
    ResultRecord record;
    std::optional<KindStatistics> single;  // empty when no run of the kind started
    std::optional<KindStatistics> all;
    std::optional<Scaling> scaling;  // empty unless both kinds have a completed run

    // Where a file came from, and the version it held (1 to 3); empty and 0 for a run.
    std::string path;
    int schema_version_read = 0;
    // The figures whose values in the file differ from those worked out
    // again ("stability of run 3", "statistics of single"); empty for a run.
    std::vector<std::string> recomputed;

    const std::optional<KindStatistics>& statistics(std::uint32_t benchmark) const {
        return benchmark == QUORLIND_BENCHMARK_PER_CPU ? all : single;
    }
};

// A run's record made a result: each run's stability, each kind's
// statistics and the scaling.
Result result_of_run(ResultRecord record);

// Works out every derived figure of `result` from its record's runs and
// intervals, replacing what it held.
void derive_figures(Result& result);

}  // namespace quorlind::bench
