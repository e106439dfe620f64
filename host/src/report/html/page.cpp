#include "report/html/page.h"

#include "util/html_escape.h"

namespace quorlind::bench::detail {
namespace {

// One style sheet for screen and print; no web fonts, no images, nothing fetched.
constexpr const char* style_sheet = R"css(
:root { color-scheme: light; --ink: #1a1a1a; --muted: #595959; --rule: #d4d4d4; --mark: #fff1a8; }
* { box-sizing: border-box; }
body { margin: 0; background: #fff; color: var(--ink);
  font: 15px/1.5 system-ui, -apple-system, "Segoe UI", Roboto, "Helvetica Neue", Arial, sans-serif; }
main { max-width: 76rem; margin: 0 auto; padding: 1rem clamp(0.6rem, 3vw, 2rem) 2rem; }
h1 { font-size: 1.55rem; margin: 0.4rem 0; }
h2 { font-size: 1.2rem; margin: 2rem 0 0.75rem; padding-bottom: 0.2rem; border-bottom: 1px solid var(--rule); }
.meta { color: var(--muted); margin: 0; overflow-wrap: anywhere; }
.cards { display: grid; grid-template-columns: repeat(auto-fit, minmax(min(100%, 17rem), 1fr)); gap: 0.75rem; }
.card { border: 1px solid var(--rule); border-radius: 6px; padding: 0.7rem 1rem; }
.card h3 { font-size: 0.95rem; margin: 0 0 0.2rem; color: var(--muted); font-weight: 600; }
.card .value { font-size: 1.45rem; font-weight: 650; margin: 0; font-variant-numeric: tabular-nums; }
.card p { margin: 0.15rem 0; }
.verdict { border-left-width: 6px; }
.verdict-slower { border-left-color: #D55E00; }
.verdict-faster { border-left-color: #0072B2; }
.verdict-same { border-left-color: #767676; }
.verdict-not-comparable { border-left-color: #1a1a1a; border-left-style: double; }
.outcome { font-weight: 650; margin: 0.4rem 0 0; }
table.system td:first-child, table.environment td:first-child { width: 40%; }
.charts { display: grid; grid-template-columns: repeat(auto-fill, minmax(min(100%, 32rem), 1fr)); gap: 1rem; }
figure.chart { margin: 0; border: 1px solid var(--rule); border-radius: 6px; padding: 0.6rem; break-inside: avoid; }
figcaption { font-weight: 600; margin-bottom: 0.3rem; }
.plot-frame { overflow-x: auto; }
svg.plot { display: block; width: 100%; height: auto; min-width: 18rem; font-size: 13px; }
svg.plot text { fill: var(--ink); }
.plot-area { fill: #f7f7f7; }
.grid { stroke: #e2e2e2; }
.tick, .domain { stroke: #4d4d4d; }
.axis-title { font-weight: 600; }
.row-note { fill: var(--muted); font-size: 11.5px; }
.legend { list-style: none; padding: 0; margin: 0.5rem 0 0; display: flex; flex-wrap: wrap; gap: 0.2rem 1rem;
  font-size: 0.85rem; }
.legend li { display: flex; align-items: center; gap: 0.35rem; }
.table-frame { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; font-variant-numeric: tabular-nums; }
th, td { text-align: left; padding: 0.3rem 0.6rem; border-bottom: 1px solid var(--rule); vertical-align: top;
  overflow-wrap: anywhere; }
th { font-weight: 600; }
td.number { text-align: right; white-space: nowrap; }
tr.differs td, tr.disturbed td { background: var(--mark); }
tr.differs td:first-child { font-weight: 650; }
tr.differs td:first-child::before { content: "\2260\00a0"; }
.notes li { margin: 0.2rem 0; }
footer { margin-top: 2rem; color: var(--muted); font-size: 0.85rem; }
/* A phone shows a chart at half its drawn size: larger letters keep the ticks readable. */
@media (max-width: 36rem) {
  svg.plot { font-size: 17px; }
  svg.plot .row-note { font-size: 14px; }
  .legend { font-size: 0.8rem; }
}
@media print {
  body { font-size: 10.5pt; }
  main { max-width: none; padding: 0; }
  .charts { grid-template-columns: 1fr; }
  .plot-frame, .table-frame { overflow: visible; }
  svg.plot { min-width: 0; }
  section, figure.chart, .card { break-inside: avoid; }
  tr.differs td { background: none; }
}
)css";

}  // namespace

std::string html_page(const std::string& title, const std::string& body, const Document& data) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    // Nothing in the page may run or load: say so to the browser as well.
    page +=
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
        "'unsafe-inline'\">\n";
    page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    page += "<title>" + escape_html(title) + "</title>\n<style>" + style_sheet +
            "</style>\n</head>\n<body>\n<main>\n";
    page += body;
    page += "</main>\n<script type=\"application/json\" id=\"quorlind-data\">" +
            json_for_script_element(data) + "</script>\n</body>\n</html>\n";
    return page;
}

std::string html_table(const std::string& css_class, const std::vector<std::string>& headings,
                       const std::vector<TableRow>& rows) {
    std::string out =
        "<div class=\"table-frame\"><table class=\"" + escape_html(css_class) + "\"><thead><tr>";
    for (const auto& heading : headings) {
        out += "<th scope=\"col\">" + escape_html(heading) + "</th>";
    }
    out += "</tr></thead><tbody>";
    for (const auto& row : rows) {
        out += row.css_class.empty() ? "<tr>" : "<tr class=\"" + escape_html(row.css_class) + "\">";
        for (const auto& cell : row.cells) {
            out += cell.css_class.empty() ? "<td>" : "<td class=\"" + escape_html(cell.css_class) + "\">";
            out += escape_html(cell.text) + "</td>";
        }
        out += "</tr>";
    }
    return out + "</tbody></table></div>\n";
}

std::string html_section(const std::string& id, const std::string& heading, const std::string& content) {
    return "<section id=\"" + escape_html(id) + "\"><h2>" + escape_html(heading) + "</h2>\n" + content +
           "</section>\n";
}

}  // namespace quorlind::bench::detail
