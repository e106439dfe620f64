#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quorlind::bench {

// 1234567 -> "1,234,567"
std::string group_thousands(std::uint64_t value);

// Rates are large numbers read by people: grouped whole numbers, with two
// decimals only when the rate is small enough for them to matter.
std::string format_rate(double ops_per_second);

std::string format_fixed(double value, int decimals);

// Seconds as m:ss, or h:mm:ss from an hour on; negative and non-finite read 0:00.
std::string format_clock(double seconds);

// Always 16 digits with a 0x prefix, so checksums line up and compare by eye.
std::string format_hex64(std::uint64_t value);

// Shortest text that reads back as the same double.
std::string format_exact(double value);

// Fifteen significant digits: "-1.5", "1e+308", never hundreds of digits, and
// without the last-bit noise of a percentage turned into a ratio (0.029, not
// 0.028999999999999998).
std::string format_significant(double value);

// The whole text as one finite number, or nothing.
std::optional<double> parse_finite_number(const std::string& text);

// Cache sizes: "32 KiB", "1.25 MiB", "512 bytes".
std::string format_bytes(std::uint64_t bytes);

// A signed change with one decimal: "+3.2 %", "-7.8 %".
std::string format_signed_percent(double percent);

// "12.50 %" with two decimals.
std::string format_percent(double percent, int decimals);

// "1 run", "3 runs".
std::string format_count(std::size_t count, const char* singular, const char* plural);

// Lengths a user chose, exactly as given: "0.5 s", "120 s".
std::string format_seconds_exact(double seconds);

// Lengths measured, for a glance: a tenth below ten seconds, whole above: "7.9 s", "60 s".
std::string format_seconds_rounded(double seconds);

}  // namespace quorlind::bench
