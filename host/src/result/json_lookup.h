#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quorlind::bench {

// Lenient look-ups in a result or comparison document for the writers: a
// missing member, a null or a value of another type reads as absent, so a
// document upgraded from an older version (nulls where it knew nothing)
// renders without special cases.
using Document = nlohmann::ordered_json;

const Document* find_member(const Document& document, std::initializer_list<std::string_view> path);
std::optional<double> find_number(const Document& document, std::initializer_list<std::string_view> path);
std::optional<bool> find_bool(const Document& document, std::initializer_list<std::string_view> path);
std::string find_text(const Document& document, std::initializer_list<std::string_view> path);

}  // namespace quorlind::bench
