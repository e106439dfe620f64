#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "compare/comparison.h"

namespace quorlind::bench {

// The comparison for people: one table of every pair and kind, then per
// pair where the uncertainty comes from, the environment diff and notes.
// Text from the files is printed through printable_text().
void write_comparison_report(std::ostream& out, const Comparison& comparison);

// "BASE", then "NEW", or "NEW 1", "NEW 2", ... when there are several.
std::string file_label(const Comparison& comparison, std::size_t index);

// 0.95 -> "95 %".
std::string confidence_text(double confidence);

// The verdict table every report of a comparison shows: a header row, then a
// row per pair and kind. Its cells are the tool's own words and numbers.
std::vector<std::vector<std::string>> verdict_table(const Comparison& comparison);
// Which of its columns hold numbers, right-aligned.
std::vector<bool> verdict_columns_right_aligned();

}  // namespace quorlind::bench
