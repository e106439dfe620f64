#pragma once

#include <string>

#include "result/json_lookup.h"

namespace quorlind::bench {

// A self-contained HTML page of one result: inline CSS and SVG, no script
// that runs, no reference outside the file. It embeds the document it was
// made from, so the report is also the data.
// The document is a result (schema version 2), as the tool writes it or as
// the reader returns it for an older file.
std::string render_result_html(const Document& result);

}  // namespace quorlind::bench
