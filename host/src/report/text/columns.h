#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace quorlind::bench {

// The text reports' columns. Text wider than its column is kept whole.
std::string pad_left(const std::string& text, std::size_t width);   // numbers
std::string pad_right(const std::string& text, std::size_t width);  // words

// "  Label       value": the two-column layout of the run and system reports.
void write_field(std::ostream& out, const char* label, const std::string& value);

}  // namespace quorlind::bench
