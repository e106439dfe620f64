#include "lib/init_failure_text.h"

#include <cstdio>

namespace quorlind {

namespace {

// Decodes one UTF-8 character at `position`; a malformed byte stands for
// itself so every input has a rendering.
std::uint32_t next_code_point(const std::string& text, std::size_t& position) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(position);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length <= 1 || position + length > text.size()) {
        ++position;
        return lead;
    }
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(position + i) & 0xC0) != 0x80) {
            ++position;
            return lead;
        }
        code = code << 6 | (byte(position + i) & 0x3F);
    }
    position += length;
    return code;
}

bool is_printable(std::uint32_t code) { return !(code < 0x20 || (code >= 0x7F && code < 0xA0)); }

}  // namespace

std::string quote_escaped(const std::string& text) {
    std::string quoted = "\"";
    for (std::size_t position = 0; position < text.size();) {
        const std::size_t start = position;
        const std::uint32_t code = next_code_point(text, position);
        switch (code) {
            case '\\':
                quoted += "\\\\";
                break;
            case '"':
                quoted += "\\\"";
                break;
            case '\t':
                quoted += "\\t";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\0':
                quoted += "\\0";
                break;
            default:
                if (is_printable(code) && (code < 0x80 || position - start > 1)) {
                    quoted.append(text, start, position - start);
                } else {
                    char escape[16];
                    std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned>(code));
                    quoted += escape;
                }
        }
    }
    quoted += '"';
    return quoted;
}

std::string render_readiness_failure(const std::optional<InitReport>& received) {
    if (!received) {
        return "Err(RecvError)";
    }
    return "Ok(Err(" + quote_escaped(received->failure.value_or(std::string())) + "))";
}

}  // namespace quorlind
