#include "report/text/columns.h"

namespace quorlind::bench {

std::string pad_left(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string pad_right(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void write_field(std::ostream& out, const char* label, const std::string& value) {
    out << "  " << pad_right(label, 12) << value << '\n';
}

}  // namespace quorlind::bench
