#pragma once

#include "result/run_record.h"
#include "stats/stability.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace quorlind::bench {

// Long runs produce many intervals; the printed table joins neighbours so it
// stays short, while JSON and CSV keep every sample.
std::vector<QuorlindIntervalSample> join_samples(const std::vector<QuorlindIntervalSample>& samples,
                                                 std::size_t max_rows);

// "stable", "unstable: drifting -7.8 % over 60 s (throttling or a clock
// change?)", "unstable: noisy, ...".
std::string stability_mark(const Stability& stability);

// One run: every figure and its intervals. Several: a line per run, then the
// statistics of each kind and the scaling between them. The system record
// heads both.
void write_report(std::ostream& out, const ResultRecord& record);

// The system record alone, as the report's header and for --system.
void write_system_report(std::ostream& out, const SystemRecord& system, const std::string& tool_version,
                         const BuildInfo& tool_build);

// "  Label       value": the report's two-column layout.
void write_field(std::ostream& out, const char* label, const std::string& value);

}  // namespace quorlind::bench
