#pragma once

// The layouts of result files, version by version, for result_reader.cpp.
// Every function here throws LayoutError for a document that breaks them.

#include <nlohmann/json.hpp>

#include "result/json_checks.h"
#include "result/result.h"

namespace quorlind::bench {

// The status, summary and samples of one run: the members a version-1 file
// holds at its top level and a version-2 file in each of its runs.
RunRecord read_run_outcome(const CheckedObject& run);

// The members that version 1 already had, unchanged since.
void check_system_basics(const CheckedObject& system);
void check_notes(const CheckedObject& document);

// Checks a version-2 document and takes out the parts consumers compute with.
ResultFile read_version2(nlohmann::json document);

}  // namespace quorlind::bench
