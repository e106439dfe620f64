#pragma once

#include "run_record.hpp"

#include <nlohmann/json.hpp>

namespace quorlind::bench {

// The layout is documented in docs/json-output.md; keep the two in step.
nlohmann::ordered_json to_json(const RunRecord &record);

} // namespace quorlind::bench
