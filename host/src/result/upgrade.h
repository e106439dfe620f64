#pragma once

#include <nlohmann/json.hpp>

namespace quorlind::bench {

// Checks a version-1 document (no schema_version) and turns it into the
// version-2 layout: one run, statistics of that run, unknown system fields
// null. Throws LayoutError for a document that breaks the version-1 layout.
nlohmann::json upgrade_version1(const nlohmann::json& document);

}  // namespace quorlind::bench
