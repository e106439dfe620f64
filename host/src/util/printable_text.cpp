#include "util/printable_text.h"

#include <cstdio>

namespace quorlind::bench {
namespace {

std::string escape_byte(unsigned char byte) {
    switch (byte) {
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default: {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", static_cast<unsigned>(byte));
            return buffer;
        }
    }
}

bool is_continuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

}  // namespace

std::string printable_text(std::string_view text, std::size_t max_bytes) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (out.size() >= max_bytes) {
            return out + "...";
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7f) {
            out += escape_byte(byte);
            ++i;
        } else if (byte == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            // U+0080..U+009F: the 8-bit control codes, which some terminals obey.
            out += "\\u00" + escape_byte(static_cast<unsigned char>(text[i + 1])).substr(2);
            i += 2;
        } else {
            // Whole characters only, so a cut never leaves half of one.
            std::size_t end = i + 1;
            while (end < text.size() && is_continuation(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
            out.append(text.substr(i, end - i));
            i = end;
        }
    }
    return out;
}

}  // namespace quorlind::bench
