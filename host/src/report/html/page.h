#pragma once

#include <string>
#include <vector>

#include "result/json_writer.h"

// The page around the run and comparison reports: head, style sheet, the
// embedded document, and small builders for the HTML between the charts.
namespace quorlind::bench::detail {

// A whole document. The body is HTML already escaped; the title and the data
// are escaped here. The data goes into <script type="application/json"
// id="quorlind-data">, which a browser never runs.
std::string html_page(const std::string& title, const std::string& body, const Document& data);

// A table cell: text (escaped here) and an optional class.
struct Cell {
    std::string text;
    std::string css_class;
};

struct TableRow {
    std::vector<Cell> cells;
    std::string css_class;
};

std::string html_table(const std::string& css_class, const std::vector<std::string>& headings,
                       const std::vector<TableRow>& rows);

// <section> with an <h2>; the content is HTML already escaped.
std::string html_section(const std::string& id, const std::string& heading, const std::string& content);

}  // namespace quorlind::bench::detail
