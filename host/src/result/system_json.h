#pragma once

#include <nlohmann/json.hpp>

#include "system/system_record.h"

namespace quorlind::bench {

// The system record as the `system` object of a result document.
nlohmann::ordered_json system_json(const SystemRecord& system);

}  // namespace quorlind::bench
