#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "compare/comparison.h"
#include "result/result.h"

namespace quorlind::bench {

// GitHub-flavoured Markdown to paste into a pull request or an issue: the
// tables of the text report, with its numbers as it prints them.

// A run: a summary row per kind (runs, median, 95 % interval, run-to-run
// variation, stability) and the multi-core ratio where both kinds ran.
void write_run_markdown(std::ostream& out, const Result& result);

// A comparison: the files, the verdict table, and the exit code with its meaning.
void write_comparison_markdown(std::ostream& out, const Comparison& comparison, int exit_code);

// Text from a file as one table cell or line: made printable, with every
// character Markdown or inline HTML would act on escaped.
std::string markdown_text(std::string_view text, std::size_t max_bytes = 200);

}  // namespace quorlind::bench
