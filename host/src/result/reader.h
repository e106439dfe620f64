#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "result/result.h"

namespace quorlind::bench {

// A result of a long run repeated many times is a few megabytes; anything far
// beyond that is not a result file, and is refused before it is parsed.
inline constexpr std::size_t max_result_file_bytes = 64u << 20;

// Deeper than any result; refusing more keeps recursive walks of the
// document (comparison, printing) far from the stack's end.
inline constexpr std::size_t max_result_nesting = 32;

// What is wrong with a result file; the message begins with the file's name.
class InvalidResultFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a result file written by any version of quorlind-bench, checks its
// layout and returns it in the version-2 shape. Throws InvalidResultFile,
// naming the file and what is wrong, for anything unreadable or invalid.
Result read_result_file(const std::string& path, std::size_t max_bytes = max_result_file_bytes);

// The same for a file's text already in memory; `name` stands for the file.
Result parse_result_text(std::string_view text, const std::string& name);

}  // namespace quorlind::bench
