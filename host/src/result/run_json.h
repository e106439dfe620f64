#pragma once

#include <nlohmann/json.hpp>

#include "result/json_checks.h"
#include "result/run_record.h"

namespace quorlind::bench {

// One run as an element of a result's `runs`.
nlohmann::ordered_json run_json(const RunRecord& run);

// The other way, checked; throws LayoutError naming the member at fault.
// The configuration's durations complete the run's own.
RunRecord read_run(const CheckedObject& run, double warmup_seconds, double measurement_seconds);

// The status, summary and samples of one run: the members a version-1 file
// holds at its top level and a version-2 file in each of its runs.
RunRecord read_run_outcome(const CheckedObject& run);

}  // namespace quorlind::bench
