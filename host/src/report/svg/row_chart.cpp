#include <algorithm>
#include <cmath>
#include <limits>

#include "util/html_escape.h"
#include "report/svg/row_chart.h"
#include "report/svg/parts.h"

namespace quorlind::bench {
namespace {

using detail::svg_number;

constexpr double chart_width = 640.0;
constexpr double label_right = 170.0;
constexpr double plot_left = 180.0;
constexpr double plot_right = 610.0;  // room for half of the last tick label
constexpr double plot_top = 12.0;
constexpr double row_height = 46.0;
constexpr double bottom_margin = 58.0;
// Longer labels (file names) are cut; the full text stays in the row's tooltip.
constexpr std::size_t max_label_characters = 22;

std::string shorten(const std::string& text, std::size_t max_characters) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80 && characters++ == max_characters - 1) {
            return i + 1 < text.size() ? text.substr(0, i) + "\xE2\x80\xA6" : text;
        }
    }
    return text;
}

std::string vertical_line(double x, double y1, double y2, const std::string& attributes) {
    return "<line x1=\"" + svg_number(x) + "\" x2=\"" + svg_number(x) + "\" y1=\"" + svg_number(y1) +
           "\" y2=\"" + svg_number(y2) + "\" " + attributes + "/>";
}

std::string row_labels(const ChartRow& row, double centre_y) {
    std::string out = "<text class=\"row-label\" x=\"" + svg_number(label_right) + "\" y=\"" +
                      svg_number(centre_y - (row.note.empty() ? -4 : 3)) + "\" text-anchor=\"end\">" +
                      escape_html(shorten(row.label, max_label_characters)) + "</text>";
    if (!row.note.empty()) {
        out += "<text class=\"row-note\" x=\"" + svg_number(label_right) + "\" y=\"" +
               svg_number(centre_y + 13) + "\" text-anchor=\"end\">" + escape_html(row.note) + "</text>";
    }
    return out;
}

std::string interval_mark(double low, double high, double centre_y, const LinearScale& x) {
    const std::string stroke = std::string("stroke=\"") + detail::ink_colour + "\" stroke-width=\"1.5\"";
    return "<g class=\"interval\"><line x1=\"" + svg_number(x(low)) + "\" x2=\"" + svg_number(x(high)) +
           "\" y1=\"" + svg_number(centre_y) + "\" y2=\"" + svg_number(centre_y) + "\" " + stroke + "/>" +
           vertical_line(x(low), centre_y - 6, centre_y + 6, stroke) +
           vertical_line(x(high), centre_y - 6, centre_y + 6, stroke) + "</g>";
}

std::string row_group(const ChartRow& row, std::size_t index, double centre_y, const LinearScale& x) {
    const detail::SeriesStyle style = detail::series_style(index);
    const std::string colour = style.colour;
    std::string out = "<g class=\"series row\" data-series=\"" + escape_html(row.label) + "\"><title>" +
                      escape_html(row.label) + "</title>" + row_labels(row, centre_y);
    if (row.bar) {
        const double from = x(0.0);
        const double to = x(*row.bar);
        out += "<rect class=\"bar\" x=\"" + svg_number(std::min(from, to)) + "\" y=\"" +
               svg_number(centre_y - 11) + "\" width=\"" + svg_number(std::fabs(to - from)) +
               "\" height=\"22\" fill=\"" + colour + "\" fill-opacity=\"0.55\"/>";
    }
    if (row.low && row.high) {
        out += interval_mark(*row.low, *row.high, centre_y, x);
    }
    // The runs go on top: they are the data, the median only sums them up.
    if (row.centre) {
        out += vertical_line(
            x(*row.centre), centre_y - 13, centre_y + 13,
            std::string("class=\"centre\" stroke=\"") + detail::ink_colour + "\" stroke-width=\"3\"");
    }
    for (std::size_t i = 0; i < row.dots.size(); ++i) {
        // Alternate above and below the row's line, so that equal runs stay countable.
        const double offset = (i % 2 == 0 ? -1.0 : 1.0) * (2.0 + static_cast<double>(i % 3) * 2.0);
        out += detail::marker(style.marker, x(row.dots[i]), centre_y + offset, 4.0, style.colour);
    }
    return out + "</g>";
}

// Every value the axis must show: the rows', the reference and its band, and zero under bars.
AxisTicks axis_ticks(const RowChart& chart) {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    auto add = [&](std::optional<double> value) {
        if (value && std::isfinite(*value)) {
            low = std::min(low, *value);
            high = std::max(high, *value);
        }
    };
    if (chart.from_zero) {
        add(0.0);
    }
    add(chart.reference);
    add(chart.band_low);
    add(chart.band_high);
    for (const auto& row : chart.rows) {
        for (const double dot : row.dots) {
            add(dot);
        }
        add(row.bar);
        add(row.centre);
        add(row.low);
        add(row.high);
    }
    return low <= high ? nice_ticks(low, high, 6) : nice_ticks(0.0, 1.0, 6);
}

// The band and the reference line lie under the rows, across all of them.
std::string reference_marks(const RowChart& chart, const LinearScale& x, const detail::PlotArea& area,
                            std::vector<detail::LegendEntry>& entries) {
    std::string out;
    if (chart.band_low && chart.band_high) {
        out += "<rect class=\"threshold\" x=\"" + svg_number(x(*chart.band_low)) + "\" y=\"" +
               svg_number(area.top) + "\" width=\"" + svg_number(x(*chart.band_high) - x(*chart.band_low)) +
               "\" height=\"" + svg_number(area.bottom - area.top) + "\" fill=\"" + detail::band_colour +
               "\" fill-opacity=\"0.22\"/>";
        entries.push_back({detail::LegendEntry::Kind::band,
                           chart.band_name,
                           {detail::band_colour, "", detail::MarkerShape::circle}});
    }
    if (chart.reference) {
        out += vertical_line(x(*chart.reference), area.top, area.bottom,
                             std::string("class=\"reference\" stroke=\"") + detail::ink_colour +
                                 "\" stroke-width=\"1.5\" stroke-dasharray=\"3 2\"");
        entries.push_back({detail::LegendEntry::Kind::reference,
                           chart.reference_name,
                           {detail::ink_colour, "3 2", detail::MarkerShape::circle}});
    }
    return out;
}

// One entry per row with dots, as the rows' dots differ in colour and
// shape; then the centre and interval marks, once, if any row has them.
void add_row_entries(const RowChart& chart, std::vector<detail::LegendEntry>& entries) {
    bool any_centre = false;
    bool any_interval = false;
    for (std::size_t i = 0; i < chart.rows.size(); ++i) {
        const ChartRow& row = chart.rows[i];
        if (!row.dots.empty()) {
            entries.push_back(
                {detail::LegendEntry::Kind::dot, chart.dot_name + ": " + row.label, detail::series_style(i)});
        }
        any_centre = any_centre || row.centre.has_value();
        any_interval = any_interval || (row.low && row.high);
    }
    if (any_centre) {
        entries.push_back({detail::LegendEntry::Kind::centre,
                           chart.centre_name,
                           {detail::ink_colour, "", detail::MarkerShape::circle}});
    }
    if (any_interval) {
        entries.push_back({detail::LegendEntry::Kind::interval,
                           chart.interval_name,
                           {detail::ink_colour, "", detail::MarkerShape::circle}});
    }
}

}  // namespace

std::string render_row_chart(const RowChart& chart) {
    const AxisTicks ticks = axis_ticks(chart);
    const double rows_height = row_height * static_cast<double>(std::max<std::size_t>(chart.rows.size(), 1));
    const detail::PlotArea area{plot_left, plot_top, plot_right, plot_top + rows_height};
    const LinearScale x{ticks.low, ticks.high, area.left, area.right};

    std::string body = detail::plot_background(area);
    body += detail::horizontal_axis(ticks, x, area, chart.x_label);
    std::vector<detail::LegendEntry> entries;
    body += reference_marks(chart, x, area, entries);
    for (std::size_t i = 0; i < chart.rows.size(); ++i) {
        const double centre_y = area.top + row_height * (static_cast<double>(i) + 0.5);
        body += row_group(chart.rows[i], i, centre_y, x);
    }
    add_row_entries(chart, entries);
    return detail::figure(chart.id, chart.title, chart_width, area.bottom + bottom_margin, body,
                          detail::legend(entries));
}

}  // namespace quorlind::bench
