#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quorlind::bench {

// A JSON document that does not have the expected layout; the message names
// the member, as in "runs[1].summary.ops_per_second is negative (-3)".
class LayoutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Typed reads of one JSON object's members that throw LayoutError, naming
// the member's place in the document, for anything missing or out of range.
class CheckedObject {
public:
    // where: the object's own place ("runs[0].summary"), empty for the root.
    CheckedObject(const nlohmann::json& value, std::string where);

    const nlohmann::json& value() const { return value_; }
    const std::string& where() const { return where_; }
    std::string place(std::string_view name) const;
    bool has(std::string_view name) const;
    const nlohmann::json& member(std::string_view name) const;
    CheckedObject object(std::string_view name) const;
    const nlohmann::json& array(std::string_view name) const;
    std::string text(std::string_view name) const;
    bool boolean(std::string_view name) const;

    // The same for members that may be null, which reads as unknown; a
    // member that is missing or of another type is still an error.
    std::optional<std::string> optional_text(std::string_view name) const;
    std::optional<bool> optional_boolean(std::string_view name) const;
    std::optional<std::uint32_t> optional_small_count(std::string_view name) const;
    bool is_null(std::string_view name) const { return member(name).is_null(); }

    // Finite numbers, in the range stated by the name.
    double number(std::string_view name) const;
    double number_at_least(std::string_view name, double minimum) const;
    double number_above(std::string_view name, double bound) const;
    std::optional<double> optional_number(std::string_view name) const;
    std::optional<double> optional_number_at_least(std::string_view name, double minimum) const;

    // Whole numbers >= 0; small ones fit in 32 bits, as the records hold them.
    std::uint64_t count(std::string_view name) const;
    std::uint32_t small_count(std::string_view name) const;
    std::uint64_t one_of(std::string_view name, std::initializer_list<std::uint64_t> allowed) const;

private:
    const nlohmann::json& value_;
    std::string where_;
};

// "a string", "an array": for messages about a value of the wrong type.
std::string describe_json_type(const nlohmann::json& value);

}  // namespace quorlind::bench
