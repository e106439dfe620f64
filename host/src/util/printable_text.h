#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorlind::bench {

// Text from a result file, made safe to print on a terminal: control
// characters (which could move the cursor or recolour the screen) appear as
// escapes such as \n or \x1b, format characters (a right-to-left override,
// a zero-width space) as \u202e or \U000e0001, and text beyond max_bytes is
// cut at a character boundary and ends in "...".
std::string printable_text(std::string_view text, std::size_t max_bytes = 200);

}  // namespace quorlind::bench
