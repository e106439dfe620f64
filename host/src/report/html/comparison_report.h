#pragma once

#include <string>
#include <vector>

#include "compare/comparison.h"
#include "result/result.h"

namespace quorlind::bench {

// A self-contained HTML page of a comparison, as the run report is: its
// verdicts, with the results it compared in the order of its files (the
// base first). The charts show their runs, and the page embeds the
// comparison as `compare --json` writes it and every result's document.
std::string render_comparison_html(const Comparison& comparison, const std::vector<Result>& results,
                                   const std::string& tool_version);

}  // namespace quorlind::bench
