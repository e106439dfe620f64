#pragma once

#include <string>
#include <vector>

#include "result/json_lookup.h"

namespace quorlind::bench {

// Self-contained HTML pages: inline CSS and SVG, no script that runs, no
// reference outside the file. Each embeds the document it was made from, so
// the report is also the data. They read the document and nothing else.

// A result document (schema version 2), as the tool writes it or as the
// reader returns it for an older file.
std::string render_result_html(const Document& result);

// A comparison record as `compare --json` writes it, with the result
// documents it compared, in the order of its `files` (the base first): the
// charts show their runs, and the page embeds them all.
std::string render_comparison_html(const Document& comparison, const std::vector<Document>& results);

}  // namespace quorlind::bench
