#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "result/result.h"

namespace quorlind::bench {

struct EnvironmentDifference {
    std::string field;  // dotted: "system.caches.l2.size_bytes"
    nlohmann::json base;
    nlohmann::json candidate;
    // For people: the field's label and both values as the run report shows them.
    std::string label;
    std::string base_text;
    std::string candidate_text;
    // A measured quantity (the effective clock, the load) whose two values are
    // close enough to say nothing about the machines: shown as similar.
    bool similar = false;
};

struct EnvironmentDiff {
    std::vector<EnvironmentDifference> differences;
    // The labels of the fields that one file knows and the other has as
    // unknown: not known to differ, so named apart.
    std::vector<std::string> known_in_one_only;
};

// Every field of the tool, the configuration and the system record whose
// values differ between two results, in that order and in the field table's
// order within the system. Object values are compared member by member;
// arrays count as one value. The start times are left out: they always differ.
EnvironmentDiff diff_environment(const Result& base, const Result& candidate);

}  // namespace quorlind::bench
