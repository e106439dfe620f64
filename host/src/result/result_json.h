#pragma once

// The readers of result documents, for reader.cpp and upgrade.cpp; their
// writers are declared in json_writer.h. Every function here throws
// LayoutError for a document that breaks the layout.

#include <nlohmann/json.hpp>

#include "result/json_checks.h"
#include "result/result.h"
#include "system/system_record.h"

namespace quorlind::bench {

// The members of `system` that version 1 already had, unchanged since.
SystemRecord read_system_basics(const CheckedObject& system);
void check_notes(const CheckedObject& document);

// Checks a version-2 document and reads it into a result, its derived
// figures as the file holds them.
Result read_version2(const nlohmann::json& document);

}  // namespace quorlind::bench
