#pragma once

#include <nlohmann/json.hpp>

#include "system/system_record.h"

namespace quorlind::bench {

// The system record as the `system` object of a result document.
nlohmann::ordered_json system_json(const SystemRecord& system);

// The other way, for a file: every member of `system` beyond those version 1
// had, which the reader checks, read back into the record as it comes. A
// value of the wrong type reads as unknown, as every writer has shown it,
// rather than refusing the file.
void read_system_details(const nlohmann::json& system, SystemRecord& record);

}  // namespace quorlind::bench
