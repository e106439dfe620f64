#pragma once

#include <cmath>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quorlind::bench {

// A result or comparison as JSON, its members in the order they were
// written (or, for a document read from a file, by name).
using Document = nlohmann::ordered_json;

// Lenient look-ups in a document, for the members a reader takes as they
// come: a missing member, a null or a value of another type reads as
// absent, so a document upgraded from an older version (nulls where it
// knew nothing) reads without special cases. Json is either kind of
// nlohmann document.

template <typename Json>
const Json* find_member(const Json& document, std::initializer_list<std::string_view> path) {
    const Json* current = &document;
    for (const std::string_view key : path) {
        if (!current->is_object()) {
            return nullptr;
        }
        const auto found = current->find(std::string(key));
        if (found == current->end()) {
            return nullptr;
        }
        current = &*found;
    }
    return current->is_null() ? nullptr : current;
}

template <typename Json>
std::optional<double> find_number(const Json& document, std::initializer_list<std::string_view> path) {
    const Json* value = find_member(document, path);
    if (value == nullptr || !value->is_number()) {
        return std::nullopt;
    }
    const double number = value->template get<double>();
    return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}

template <typename Json>
std::optional<bool> find_bool(const Json& document, std::initializer_list<std::string_view> path) {
    const Json* value = find_member(document, path);
    if (value == nullptr || !value->is_boolean()) {
        return std::nullopt;
    }
    return value->template get<bool>();
}

template <typename Json>
std::optional<std::string> find_text(const Json& document, std::initializer_list<std::string_view> path) {
    const Json* value = find_member(document, path);
    if (value == nullptr || !value->is_string()) {
        return std::nullopt;
    }
    return value->template get<std::string>();
}

}  // namespace quorlind::bench
