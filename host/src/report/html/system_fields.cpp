#include "report/html/system_fields.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string_view>
#include <utility>

#include "util/number_format.h"

namespace quorlind::bench {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 36> known_labels{{
    {"processor", "Processor"},
    {"logical_processors", "Logical processors"},
    {"operating_system", "Operating system"},
    {"library_version", "Library version"},
    {"abi_version", "C interface version"},
    {"start_time_utc", "Start time (UTC)"},
    {"monotonic_start_seconds", "Monotonic clock at start"},
    {"host_name", "Host name"},
    {"packages", "Packages"},
    {"physical_cores", "Physical cores"},
    {"smt", "SMT"},
    {"numa_nodes", "NUMA nodes"},
    {"caches", "Cache"},
    {"l1d", "L1d"},
    {"l2", "L2"},
    {"l3", "L3"},
    {"size_bytes", "size"},
    {"count", "count"},
    {"base_frequency_mhz", "Base frequency"},
    {"max_frequency_mhz", "Maximum frequency"},
    {"effective_clock_mhz", "Effective clock"},
    {"governor", "Frequency governor"},
    {"boost", "Boost"},
    {"hypervisor", "Hypervisor"},
    {"os_name", "OS name"},
    {"os_version", "OS version"},
    {"os_build", "OS build"},
    {"load_average", "Load average (1, 5, 15 min)"},
    {"library_compiler", "Library compiler"},
    {"library_compiler_version", "Library compiler version"},
    {"library_build_type", "Library build type"},
    {"name", "name"},
    {"version", "version"},
    {"compiler", "compiler"},
    {"compiler_version", "compiler version"},
    {"build_type", "build type"},
}};

std::string label_for(const std::string& key) {
    for (const auto& [name, label] : known_labels) {
        if (name == key) {
            return std::string(label);
        }
    }
    std::string label = key;
    for (char& c : label) {
        c = c == '_' ? ' ' : c;
    }
    return label;
}

bool ends_with(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string format_plain_number(double value) {
    if (std::fabs(value - std::round(value)) < 1e-9 && std::fabs(value) < 9e15) {
        const double rounded = std::round(value);
        std::string text = rounded < 0 ? "-" : "";
        text += group_thousands(static_cast<std::uint64_t>(std::fabs(rounded)));
        return text;
    }
    return format_fixed(value, std::fabs(value) >= 100.0 ? 1 : 3);
}

std::string format_number_with_unit(double value, const std::string& unit_key) {
    if (ends_with(unit_key, "bytes") && value >= 0.0 && value < 1.8e19) {
        return format_bytes(static_cast<std::uint64_t>(std::llround(value)));
    }
    if (ends_with(unit_key, "_mhz")) {
        return group_thousands(static_cast<std::uint64_t>(std::llround(std::max(0.0, value)))) + " MHz";
    }
    if (ends_with(unit_key, "_seconds")) {
        return format_fixed(value, 3) + " s";
    }
    return format_plain_number(value);
}

// The value of one member as the table shows it; the key names the unit
// ("size_bytes" reads as KiB/MiB, "*_mhz" as MHz, "*_seconds" as s).
std::string format_system_value(const Document* value, const std::string& unit_key) {
    if (value == nullptr || value->is_null()) {
        return "unknown";
    }
    if (value->is_boolean()) {
        return value->get<bool>() ? "yes" : "no";
    }
    if (value->is_number()) {
        const double number = value->get<double>();
        return std::isfinite(number) ? format_number_with_unit(number, unit_key) : "unknown";
    }
    if (value->is_string()) {
        const std::string text = value->get<std::string>();
        return text.empty() ? "unknown" : text;
    }
    if (value->is_array()) {
        std::string text;
        for (const auto& item : *value) {
            text += (text.empty() ? "" : ", ") + format_system_value(&item, unit_key);
        }
        return text.empty() ? "none" : text;
    }
    // Anything else is shown as it is rather than dropped.
    return value->dump(-1, ' ', false, Document::error_handler_t::replace);
}

// Known members in a fixed order (a reader may have sorted them), then any others as they come.
std::vector<std::string> ordered_keys(const Document& object) {
    std::vector<std::string> keys;
    for (const auto& [name, label] : known_labels) {
        if (object.contains(name)) {
            keys.emplace_back(name);
        }
    }
    for (const auto& item : object.items()) {
        if (std::find(keys.begin(), keys.end(), item.key()) == keys.end()) {
            keys.push_back(item.key());
        }
    }
    return keys;
}

void flatten(const Document& object, const std::string& path, const std::string& label,
             const std::string& unit_key, std::vector<SystemField>& out) {
    for (const std::string& key : ordered_keys(object)) {
        const Document& value = object.at(key);
        const std::string child_path = path.empty() ? key : path + "." + key;
        std::string child_label = label_for(key);
        if (!label.empty()) {
            child_label = label + " " + child_label;
        }
        // Members like "before" take their unit from the object they sit in.
        const std::string child_unit = ends_with(key, "_mhz") || ends_with(key, "_bytes") ||
                                               ends_with(key, "_seconds") || unit_key.empty()
                                           ? key
                                           : unit_key;
        if (value.is_object() && !value.empty()) {
            flatten(value, child_path, child_label, child_unit, out);
        } else {
            out.push_back({child_path, child_label, format_system_value(&value, child_unit)});
        }
    }
}

}  // namespace

std::vector<SystemField> system_fields(const Document& object, const std::string& label_prefix) {
    std::vector<SystemField> fields;
    if (object.is_object()) {
        flatten(object, "", label_prefix, "", fields);
    }
    return fields;
}

SystemField describe_field(const std::string& dotted_path, const Document* value) {
    std::vector<std::string> keys;
    for (std::size_t start = 0; start <= dotted_path.size();) {
        const std::size_t dot = std::min(dotted_path.find('.', start), dotted_path.size());
        keys.push_back(dotted_path.substr(start, dot - start));
        start = dot + 1;
    }
    // The system's own fields read as in its table; the tool's and the configuration's say whose they are.
    std::string label;
    std::string unit_key;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i == 0 && keys[i] == "system" && keys.size() > 1) {
            continue;
        }
        std::string part = i == 0 ? keys[i] : label_for(keys[i]);
        if (i == 0 && !part.empty()) {
            part[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(part[0])));
        }
        label += (label.empty() ? "" : " ") + part;
        if (unit_key.empty() || ends_with(keys[i], "_mhz") || ends_with(keys[i], "_bytes") ||
            ends_with(keys[i], "_seconds")) {
            unit_key = keys[i];
        }
    }
    return {dotted_path, label, format_system_value(value, unit_key)};
}

}  // namespace quorlind::bench
