#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace quorlind {

// A value or an error text: the way foreseeable failures travel inside the
// library until the run turns them into a status and a message.
template <class T>
class Expected {
public:
    Expected(T value) : content_(std::in_place_index<0>, std::move(value)) {}

    static Expected failure(std::string error) { return Expected(std::in_place_index<1>, std::move(error)); }

    bool has_value() const noexcept { return content_.index() == 0; }
    explicit operator bool() const noexcept { return has_value(); }

    T& value() & { return std::get<0>(content_); }
    const T& value() const& { return std::get<0>(content_); }
    T&& value() && { return std::get<0>(std::move(content_)); }

    const std::string& error() const { return std::get<1>(content_); }

private:
    template <std::size_t index, class Argument>
    Expected(std::in_place_index_t<index> tag, Argument&& argument)
        : content_(tag, std::forward<Argument>(argument)) {}

    std::variant<T, std::string> content_;
};

}  // namespace quorlind
