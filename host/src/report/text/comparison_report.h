#pragma once

#include <ostream>

#include "compare/comparison.h"

namespace quorlind::bench {

// The comparison for people: one table of every pair and kind, then per
// pair where the uncertainty comes from, the environment diff and notes.
// Text from the files is printed through printable_text().
void write_comparison_report(std::ostream& out, const Comparison& comparison);

}  // namespace quorlind::bench
