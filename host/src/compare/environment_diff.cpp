#include "compare/environment_diff.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "result/json_writer.h"
#include "result/system_fields.h"
#include "util/number_format.h"

namespace quorlind::bench {
namespace {

using json = nlohmann::json;

// The tool's and the configuration's few members read as they are written.
std::string plain_text(const json& value) {
    if (value.is_null()) {
        return "unknown";
    }
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? "yes" : "no";
    }
    if (value.is_number()) {
        return format_significant(value.get<double>());
    }
    return value.dump();
}

// "tool.build_type" -> "Tool build type"
std::string plain_label(const std::string& field) {
    std::string label = field;
    std::replace(label.begin(), label.end(), '.', ' ');
    std::replace(label.begin(), label.end(), '_', ' ');
    label[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(label[0])));
    return label;
}

bool within(const json& base, const json& candidate, double tolerance) {
    if (std::isinf(tolerance)) {
        return true;
    }
    if (!base.is_number() || !candidate.is_number()) {
        return false;
    }
    const double a = base.get<double>();
    const double b = candidate.get<double>();
    return std::fabs(a - b) <= tolerance * std::max(std::fabs(a), std::fabs(b));
}

struct Shown {
    std::string label;
    std::string base_text;
    std::string candidate_text;
    double similar_within = 0.0;
};

// One field's two values, object members one by one.
void compare(const std::string& place, const json& base, const json& candidate, const Shown& shown,
             EnvironmentDiff& diff) {
    if (base == candidate) {
        return;
    }
    if (base.is_null() || candidate.is_null()) {
        if (std::find(diff.known_in_one_only.begin(), diff.known_in_one_only.end(), shown.label) ==
            diff.known_in_one_only.end()) {
            diff.known_in_one_only.push_back(shown.label);
        }
        return;
    }
    if (base.is_object() && candidate.is_object()) {
        for (const auto& [name, value] : base.items()) {
            compare(place + "." + name, value, candidate.value(name, json()), shown, diff);
        }
        return;
    }
    diff.differences.push_back({place, base, candidate, shown.label, shown.base_text, shown.candidate_text,
                                within(base, candidate, shown.similar_within)});
}

void compare_plain(const std::string& part, const json& base, const json& candidate, EnvironmentDiff& diff) {
    for (const auto& [name, value] : base.items()) {
        const std::string place = part + "." + name;
        if (place == "tool.name") {
            continue;
        }
        const json other = candidate.value(name, json());
        compare(place, value, other, {plain_label(place), plain_text(value), plain_text(other)}, diff);
    }
}

}  // namespace

EnvironmentDiff diff_environment(const Result& base, const Result& candidate) {
    EnvironmentDiff diff;
    const ResultRecord& a = base.record;
    const ResultRecord& b = candidate.record;
    compare_plain("tool", json(tool_json(a.tool_version, a.tool_build)),
                  json(tool_json(b.tool_version, b.tool_build)), diff);
    compare_plain("configuration", json(configuration_json(a)), json(configuration_json(b)), diff);
    for (const SystemField& field : system_field_table()) {
        if (field.nature == FieldNature::moment) {
            continue;
        }
        compare("system." + field.key, json(field.write(a.system)), json(field.write(b.system)),
                {field.label, field.value(a.system), field.value(b.system),
                 field.nature == FieldNature::measured ? field.similar_within : 0.0},
                diff);
    }
    return diff;
}

}  // namespace quorlind::bench
