#pragma once

// The layouts of result files, version by version, for reader.cpp.
// Every function here throws LayoutError for a document that breaks them.

#include <nlohmann/json.hpp>

#include "result/json_checks.h"
#include "result/result.h"
#include "system/system_record.h"

namespace quorlind::bench {

// The status, summary and samples of one run: the members a version-1 file
// holds at its top level and a version-2 file in each of its runs.
RunRecord read_run_outcome(const CheckedObject& run);

// The members that version 1 already had, unchanged since.
SystemRecord read_system_basics(const CheckedObject& system);
void check_notes(const CheckedObject& document);

// Checks a version-2 document and reads it into a result, its derived
// figures as the file holds them.
Result read_version2(const nlohmann::json& document);

}  // namespace quorlind::bench
