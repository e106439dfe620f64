#include "util/printable_text.h"

#include <cstdint>
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

std::string escape_code_point(std::uint32_t code_point) {
    char buffer[16];
    if (code_point <= 0xffff) {
        std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(code_point));
    } else {
        std::snprintf(buffer, sizeof buffer, "\\U%08x", static_cast<unsigned>(code_point));
    }
    return buffer;
}

bool is_continuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// The 8-bit control codes, which some terminals obey, and Unicode's format
// characters (category Cf): bidirectional overrides and isolates can make a
// terminal show text in another order than it has, and the invisible ones
// hide what is there.
bool must_escape(std::uint32_t c) {
    struct Range {
        std::uint32_t first;
        std::uint32_t last;
    };
    static constexpr Range ranges[] = {
        {0x0080, 0x009f},   {0x00ad, 0x00ad},   {0x0600, 0x0605},   {0x061c, 0x061c},   {0x06dd, 0x06dd},
        {0x070f, 0x070f},   {0x0890, 0x0891},   {0x08e2, 0x08e2},   {0x180e, 0x180e},   {0x200b, 0x200f},
        {0x202a, 0x202e},   {0x2060, 0x2064},   {0x2066, 0x206f},   {0xfeff, 0xfeff},   {0xfff9, 0xfffb},
        {0x110bd, 0x110bd}, {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3}, {0x1d173, 0x1d17a},
        {0xe0001, 0xe0001}, {0xe0020, 0xe007f},
    };
    for (const Range& range : ranges) {
        if (c >= range.first && c <= range.last) {
            return true;
        }
    }
    return false;
}

// The code point of a well-formed sequence of `length` bytes, or none.
bool decode(std::string_view sequence, std::uint32_t& code_point) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() < 2 || lead < 0xc2 || lead > 0xf4) {
        return false;
    }
    const std::size_t length = lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    if (sequence.size() != length) {
        return false;
    }
    code_point = lead & (0x7f >> length);
    for (std::size_t i = 1; i < length; ++i) {
        code_point = (code_point << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3f);
    }
    return true;
}

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
            continue;
        }
        // Whole characters only, so a cut never leaves half of one.
        std::size_t end = i + 1;
        while (end < text.size() && is_continuation(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
        const std::string_view character = text.substr(i, end - i);
        std::uint32_t code_point = 0;
        if (decode(character, code_point) && must_escape(code_point)) {
            out += escape_code_point(code_point);
        } else {
            out.append(character);
        }
        i = end;
    }
    return out;
}

}  // namespace quorlind::bench
