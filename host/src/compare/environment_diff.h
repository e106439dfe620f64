#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "result/json_lookup.h"

namespace quorlind::bench {

struct EnvironmentDifference {
    std::string field;  // dotted: "system.caches.l2.size_bytes"
    nlohmann::json base;
    nlohmann::json candidate;
};

struct EnvironmentDiff {
    std::vector<EnvironmentDifference> differences;
    // Fields that one file knows and the other has as null or lacks: not
    // known to differ, so not listed, only counted.
    std::size_t known_in_one_only = 0;
};

// Every field of tool, configuration and system whose values differ between
// two version-2 documents, part by part and by name within each. Nested
// objects are walked down to their leaves; arrays count as one value. The
// start times are left out: they always differ.
EnvironmentDiff diff_environment(const Document& base, const Document& candidate);

}  // namespace quorlind::bench
