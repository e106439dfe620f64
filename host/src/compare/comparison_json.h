#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "compare/comparison.h"

namespace quorlind::bench {

inline constexpr int comparison_schema_version = 1;

// The layout is docs/schema/comparison.schema.json; keep the two in step.
nlohmann::ordered_json comparison_to_json(const Comparison& comparison, const std::string& tool_version);

}  // namespace quorlind::bench
