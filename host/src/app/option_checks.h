#pragma once

#include <CLI/CLI.hpp>

#include <string>

// The checks the options share, as CLI11 validators: each refuses a value
// with "expected ..., got '...'", which CLI11 puts after the option's name.
namespace quorlind::bench::option_checks {

// The largest duration the library accepts: just below 2^64 seconds.
double largest_seconds();

// Seconds: finite, >= 0 or > 0, and no more than largest_seconds().
CLI::Validator seconds(bool zero_allowed);

// A finite number that `accept` takes; otherwise "expected <expected>".
CLI::Validator finite_number(bool (*accept)(double), const std::string& expected);

// One of CLI11's own checks or transforms (CLI::Range, CLI::CheckedTransformer),
// refusing in our words.
CLI::Validator explained(const CLI::Validator& check, const std::string& expected);

// A file name, or - for standard output; never empty.
CLI::Validator output_path();

}  // namespace quorlind::bench::option_checks
