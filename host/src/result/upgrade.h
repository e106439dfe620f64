#pragma once

#include <nlohmann/json.hpp>

namespace quorlind::bench {

// Checks a version-1 document (no schema_version) and turns it into the
// current layout: one run, statistics of that run, unknown system fields
// null. Throws LayoutError for a document that breaks the version-1 layout.
nlohmann::json upgrade_version1(const nlohmann::json& document);

// A version-2 document in the version-3 layout: every run's load null, as
// nothing was sampled. The reader then checks it as any other.
nlohmann::json upgrade_version2(nlohmann::json document);

}  // namespace quorlind::bench
