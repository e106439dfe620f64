#include "report/text/columns.h"

#include "util/printable_text.h"

namespace quorlind::bench {

std::string pad_left(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string pad_right(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void write_field(std::ostream& out, const char* label, const std::string& value) {
    // Values may come from a result file (`report`): shown as data, never as terminal commands.
    out << "  " << pad_right(label, 12) << printable_text(value, 4096) << '\n';
}

}  // namespace quorlind::bench
