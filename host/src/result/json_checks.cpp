#include "result/json_checks.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "util/number_format.h"

namespace quorlind::bench {
namespace {

[[noreturn]] void fail(const std::string& place, const std::string& what) {
    throw LayoutError(place + " " + what);
}

std::string wrong_type(const char* expected, const nlohmann::json& value) {
    return std::string("should be ") + expected + ", not " + describe_json_type(value);
}

}  // namespace

std::string describe_json_type(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return "null";
        case nlohmann::json::value_t::object:
            return "an object";
        case nlohmann::json::value_t::array:
            return "an array";
        case nlohmann::json::value_t::string:
            return "a string";
        case nlohmann::json::value_t::boolean:
            return "a boolean";
        case nlohmann::json::value_t::number_float:
            return "a number with a fraction";
        default:
            return value.is_number() ? "a number" : "something else";
    }
}

CheckedObject::CheckedObject(const nlohmann::json& value, std::string where)
    : value_(value), where_(std::move(where)) {
    if (!value_.is_object()) {
        fail(where_.empty() ? "the document" : where_, wrong_type("an object", value_));
    }
}

std::string CheckedObject::place(std::string_view name) const {
    return where_.empty() ? std::string(name) : where_ + "." + std::string(name);
}

bool CheckedObject::has(std::string_view name) const { return value_.contains(name); }

const nlohmann::json& CheckedObject::member(std::string_view name) const {
    const auto found = value_.find(name);
    if (found == value_.end()) {
        fail(place(name), "is missing");
    }
    return *found;
}

CheckedObject CheckedObject::object(std::string_view name) const { return {member(name), place(name)}; }

const nlohmann::json& CheckedObject::array(std::string_view name) const {
    const auto& value = member(name);
    if (!value.is_array()) {
        fail(place(name), wrong_type("an array", value));
    }
    return value;
}

std::string CheckedObject::text(std::string_view name) const {
    const auto& value = member(name);
    if (!value.is_string()) {
        fail(place(name), wrong_type("a string", value));
    }
    return value.get<std::string>();
}

bool CheckedObject::boolean(std::string_view name) const {
    const auto& value = member(name);
    if (!value.is_boolean()) {
        fail(place(name), wrong_type("true or false", value));
    }
    return value.get<bool>();
}

double CheckedObject::number(std::string_view name) const {
    const auto& value = member(name);
    if (!value.is_number()) {
        fail(place(name), wrong_type("a number", value));
    }
    const double number = value.get<double>();
    // The parser refuses numbers beyond a double's range; documents built in memory may hold them.
    if (!std::isfinite(number)) {
        fail(place(name), "is not a finite number");
    }
    return number;
}

double CheckedObject::number_at_least(std::string_view name, double minimum) const {
    const double value = number(name);
    if (value < minimum) {
        fail(place(name), minimum == 0.0 ? "is negative (" + format_significant(value) + ")"
                                         : "should be at least " + format_significant(minimum) + ", not " +
                                               format_significant(value));
    }
    return value;
}

double CheckedObject::number_above(std::string_view name, double bound) const {
    const double value = number(name);
    if (!(value > bound)) {
        fail(place(name),
             "should be above " + format_significant(bound) + ", not " + format_significant(value));
    }
    return value;
}

std::optional<double> CheckedObject::optional_number(std::string_view name) const {
    if (member(name).is_null()) {
        return std::nullopt;
    }
    return number(name);
}

std::optional<double> CheckedObject::optional_number_at_least(std::string_view name, double minimum) const {
    if (member(name).is_null()) {
        return std::nullopt;
    }
    return number_at_least(name, minimum);
}

std::optional<std::string> CheckedObject::optional_text(std::string_view name) const {
    if (is_null(name)) {
        return std::nullopt;
    }
    return text(name);
}

std::optional<bool> CheckedObject::optional_boolean(std::string_view name) const {
    if (is_null(name)) {
        return std::nullopt;
    }
    return boolean(name);
}

std::optional<std::uint32_t> CheckedObject::optional_small_count(std::string_view name) const {
    if (is_null(name)) {
        return std::nullopt;
    }
    return small_count(name);
}

std::uint64_t CheckedObject::count(std::string_view name) const {
    const auto& value = member(name);
    if (value.is_number_unsigned()) {
        return value.get<std::uint64_t>();
    }
    if (value.is_number_integer()) {
        const auto signed_value = value.get<std::int64_t>();
        if (signed_value < 0) {
            fail(place(name), "is negative (" + std::to_string(signed_value) + ")");
        }
        return static_cast<std::uint64_t>(signed_value);
    }
    fail(place(name), wrong_type("a whole number", value));
}

std::uint32_t CheckedObject::small_count(std::string_view name) const {
    const std::uint64_t value = count(name);
    if (value > std::numeric_limits<std::uint32_t>::max()) {
        fail(place(name), "is too large (" + std::to_string(value) + ")");
    }
    return static_cast<std::uint32_t>(value);
}

std::uint64_t CheckedObject::one_of(std::string_view name,
                                    std::initializer_list<std::uint64_t> allowed) const {
    const std::uint64_t value = count(name);
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
        std::string list;
        for (const auto option : allowed) {
            list += (list.empty() ? "" : ", ") + std::to_string(option);
        }
        fail(place(name), "should be one of " + list + ", not " + std::to_string(value));
    }
    return value;
}

}  // namespace quorlind::bench
