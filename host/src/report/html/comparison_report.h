#pragma once

#include <string>
#include <vector>

#include "result/json_lookup.h"

namespace quorlind::bench {

// A self-contained HTML page of a comparison, as the run report is: a
// comparison record as `compare --json` writes it, with the result documents
// it compared, in the order of its `files` (the base first). The charts show
// their runs, and the page embeds them all.
std::string render_comparison_html(const Document& comparison, const std::vector<Document>& results);

}  // namespace quorlind::bench
