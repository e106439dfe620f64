#pragma once

#include "result/result.h"

#include <nlohmann/json.hpp>

namespace quorlind::bench {

// The layout is documented in docs/json-output.md and described by
// docs/schema/result.schema.json; keep the three in step. Additions keep
// the version; anything else raises it.
inline constexpr int result_schema_version = 3;

// A result or comparison as JSON, its members in the order they are written.
using Document = nlohmann::ordered_json;

// The result's record and figures as a document; what --json writes.
nlohmann::ordered_json to_json(const Result& result);

// The `tool` and `configuration` objects alone.
nlohmann::ordered_json tool_json(const std::string& tool_version, const BuildInfo& tool_build);
nlohmann::ordered_json configuration_json(const ResultRecord& record);

// What --system --json writes: the tool and the system record alone.
nlohmann::ordered_json system_document_json(const std::string& tool_version, const BuildInfo& tool_build,
                                            const SystemRecord& system);

// Unknown values are written as null, never left out.
template <typename T>
nlohmann::ordered_json optional_json(const std::optional<T>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json();
}

}  // namespace quorlind::bench
