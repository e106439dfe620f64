#pragma once

#include <string>

#include "result/result.h"

namespace quorlind::bench {

// A self-contained HTML page of one result: inline CSS and SVG, no script
// that runs, no reference outside the file. It embeds the result's document,
// so the report is also the data.
std::string render_result_html(const Result& result);

}  // namespace quorlind::bench
