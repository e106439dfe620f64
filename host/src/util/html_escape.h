#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quorlind::bench {

// Text for HTML element content and for quoted attribute values alike: every
// character that could open markup, an entity or end a quote is replaced, and
// bytes that are not UTF-8 become U+FFFD, since any string may come from a
// file written on another machine.
std::string escape_html(std::string_view text);

// The document as JSON that can sit inside <script type="application/json">:
// "<", ">" and "&" are written as \u003c, \u003e and \u0026, so no string in
// it can close the element or open a comment.
std::string json_for_script_element(const nlohmann::ordered_json& document);

}  // namespace quorlind::bench
