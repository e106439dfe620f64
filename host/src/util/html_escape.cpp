#include "util/html_escape.h"

#include "util/utf8_text.h"

namespace quorlind::bench {
namespace {

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

}  // namespace

std::string escape_html(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_sequence_length(text, i);
        if (length == 0) {
            out += replacement_character;
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        const char c = text[i++];
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '`':
                out += "&#96;";
                break;
            default:
                // Control characters other than tab and line breaks, and DEL, are parse errors in HTML.
                if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
                    c == 0x7F) {
                    out += replacement_character;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string json_for_script_element(const nlohmann::ordered_json& document) {
    // "<", ">" and "&" occur only inside JSON strings, where the escapes mean the same characters.
    const std::string text = document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        switch (c) {
            case '<':
                out += "\\u003c";
                break;
            case '>':
                out += "\\u003e";
                break;
            case '&':
                out += "\\u0026";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace quorlind::bench
