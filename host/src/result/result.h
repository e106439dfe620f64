#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "result/json_lookup.h"
#include "result/kind_statistics.h"
#include "result/run_record.h"

namespace quorlind::bench {

// One result as every writer reads it, whether a run has just made it or it
// was read from a file of any version: the record of what ran and where, and
// the figures worked out from it once (each run's stability in the record,
// each kind's statistics, the scaling). For a file they are the file's own.
// Every string may have come from a file: treat it as data.
struct Result {
    ResultRecord record;
    std::optional<KindStatistics> single;  // empty when no run of the kind started
    std::optional<KindStatistics> all;
    std::optional<Scaling> scaling;  // empty unless both kinds have a completed run

    // The whole result in the version-2 layout: as written for a run, as read
    // (and upgraded) for a file, members this version does not know included.
    // The HTML report embeds it and lists its system and tool objects;
    // compare diffs them.
    Document document;

    // Where a file came from, and the version it held (1 or 2); empty and 0 for a run.
    std::string path;
    int schema_version_read = 0;

    const std::optional<KindStatistics>& statistics(std::uint32_t benchmark) const {
        return benchmark == QUORLIND_BENCHMARK_PER_CPU ? all : single;
    }
};

// A run's record made a result: each run's stability, each kind's
// statistics, the scaling, and the document the JSON writer makes of them.
Result result_of_run(ResultRecord record);

}  // namespace quorlind::bench
