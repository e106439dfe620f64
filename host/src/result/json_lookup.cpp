#include "result/json_lookup.h"

#include <cmath>

namespace quorlind::bench {

const Document* find_member(const Document& document, std::initializer_list<std::string_view> path) {
    const Document* current = &document;
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

std::optional<double> find_number(const Document& document, std::initializer_list<std::string_view> path) {
    const Document* value = find_member(document, path);
    if (value == nullptr || !value->is_number()) {
        return std::nullopt;
    }
    const double number = value->get<double>();
    return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}

std::optional<bool> find_bool(const Document& document, std::initializer_list<std::string_view> path) {
    const Document* value = find_member(document, path);
    if (value == nullptr || !value->is_boolean()) {
        return std::nullopt;
    }
    return value->get<bool>();
}

std::string find_text(const Document& document, std::initializer_list<std::string_view> path) {
    const Document* value = find_member(document, path);
    return value != nullptr && value->is_string() ? value->get<std::string>() : std::string();
}

}  // namespace quorlind::bench
