#include "compare/environment_diff.h"

#include <set>

namespace quorlind::bench {
namespace {

using json = nlohmann::json;

const std::set<std::string> always_different{"system.start_time_utc", "system.monotonic_start_seconds",
                                             "tool.name"};

void walk(const std::string& place, const json& base, const json& candidate, EnvironmentDiff& diff) {
    if (always_different.count(place) != 0) {
        return;
    }
    if (base.is_object() && candidate.is_object()) {
        for (const auto& [name, value] : base.items()) {
            const auto other = candidate.find(name);
            walk(place + "." + name, value, other != candidate.end() ? *other : json(), diff);
        }
        for (const auto& [name, value] : candidate.items()) {
            if (!base.contains(name)) {
                walk(place + "." + name, json(), value, diff);
            }
        }
        return;
    }
    if (base == candidate) {
        return;
    }
    if (base.is_null() || candidate.is_null()) {
        ++diff.known_in_one_only;
        return;
    }
    diff.differences.push_back({place, base, candidate});
}

}  // namespace

EnvironmentDiff diff_environment(const Document& base, const Document& candidate) {
    EnvironmentDiff diff;
    for (const char* part : {"tool", "configuration", "system"}) {
        // As plain JSON, whose members go by name whatever order the document holds.
        const auto base_part = base.find(part);
        const auto candidate_part = candidate.find(part);
        walk(part, base_part != base.end() ? json(*base_part) : json(),
             candidate_part != candidate.end() ? json(*candidate_part) : json(), diff);
    }
    return diff;
}

}  // namespace quorlind::bench
