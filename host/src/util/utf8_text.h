#pragma once

#include <string>
#include <string_view>

namespace quorlind::bench {

// The text with every byte that is not part of well-formed UTF-8 replaced by
// U+FFFD. Strings from other machines' files and from the system may be anything.
std::string valid_utf8(std::string_view text);

// Length of the well-formed UTF-8 sequence that starts at text[i], 0 if none does.
std::size_t utf8_sequence_length(std::string_view text, std::size_t i);

}  // namespace quorlind::bench
