#include <algorithm>
#include <cmath>
#include <limits>

#include "util/html_escape.h"
#include "report/svg/line_chart.h"
#include "report/svg/parts.h"

namespace quorlind::bench {
namespace {

using detail::svg_number;

constexpr double chart_width = 640.0;
constexpr double chart_height = 320.0;
constexpr detail::PlotArea plot_area{66.0, 12.0, 612.0, 262.0};  // room for half of the last x label
// Markers help tell series apart; more than this many per line only clutter it.
constexpr std::size_t max_markers_per_series = 16;
constexpr const char* trend_dash = "12 3 3 3";

struct Extent {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();

    void add(double value) {
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    bool empty() const { return low > high; }
};

// What the axes must cover: every step, the band and the trend lines; the
// time axis starts at zero.
struct Extents {
    Extent x;
    Extent y;
};

Extents extents_of(const LineChart& chart) {
    Extents extents;
    extents.x.add(0.0);
    for (const auto& series : chart.series) {
        for (const auto& step : series.steps) {
            extents.x.add(step.start);
            extents.x.add(step.end);
            extents.y.add(step.value);
        }
    }
    if (chart.band) {
        extents.y.add(chart.band->low.value_or(chart.band->line));
        extents.y.add(chart.band->high.value_or(chart.band->line));
        extents.y.add(chart.band->line);
    }
    for (const auto& trend : chart.trends) {
        extents.y.add(trend.from.y);
        extents.y.add(trend.to.y);
    }
    return extents;
}

std::string step_path(const StepSeries& series, const LinearScale& x, const LinearScale& y) {
    std::string d;
    double previous_end = std::numeric_limits<double>::quiet_NaN();
    for (const auto& step : series.steps) {
        const bool joined =
            std::fabs(step.start - previous_end) <= 1e-9 * std::max(1.0, std::fabs(step.start));
        if (joined) {
            d += 'V';
        } else {
            d += 'M';
            d += svg_number(x(step.start));
            d += ',';
        }
        d += svg_number(y(step.value));
        d += 'H';
        d += svg_number(x(step.end));
        previous_end = step.end;
    }
    return d;
}

std::string series_group(const StepSeries& series, std::size_t index, const LinearScale& x,
                         const LinearScale& y) {
    const detail::SeriesStyle style = detail::series_style(index);
    std::string out = "<g class=\"series\" data-series=\"" + escape_html(series.name) + "\"><title>" +
                      escape_html(series.name) + "</title>";
    if (!series.steps.empty()) {
        out += "<path d=\"" + step_path(series, x, y) + "\" fill=\"none\" stroke=\"" + style.colour +
               "\" stroke-width=\"2\" stroke-linejoin=\"round\"";
        if (*style.dash != '\0') {
            out += std::string(" stroke-dasharray=\"") + style.dash + "\"";
        }
        out += "/>";
        const std::size_t stride =
            (series.steps.size() + max_markers_per_series - 1) / max_markers_per_series;
        for (std::size_t i = 0; i < series.steps.size(); i += stride) {
            const auto& step = series.steps[i];
            out += detail::marker(style.marker, x((step.start + step.end) / 2.0), y(step.value), 3.5,
                                  style.colour);
        }
    }
    return out + "</g>";
}

// The median's line across the plot, inside its confidence band where there is one.
std::string band_group(const ValueBand& band, const LinearScale& y,
                       std::vector<detail::LegendEntry>& entries) {
    std::string out = "<g class=\"band\" data-band=\"" + escape_html(band.line_name) + "\">";
    if (band.low && band.high) {
        out += "<rect x=\"" + svg_number(plot_area.left) + "\" y=\"" + svg_number(y(*band.high)) +
               "\" width=\"" + svg_number(plot_area.right - plot_area.left) + "\" height=\"" +
               svg_number(std::max(0.0, y(*band.low) - y(*band.high))) + "\" fill=\"" + detail::band_colour +
               "\" fill-opacity=\"0.22\"/>";
        entries.push_back({detail::LegendEntry::Kind::band,
                           band.band_name,
                           {detail::band_colour, "", detail::MarkerShape::circle}});
    }
    out += "<line x1=\"" + svg_number(plot_area.left) + "\" x2=\"" + svg_number(plot_area.right) +
           "\" y1=\"" + svg_number(y(band.line)) + "\" y2=\"" + svg_number(y(band.line)) + "\" stroke=\"" +
           detail::ink_colour + "\" stroke-width=\"1.5\" stroke-dasharray=\"6 3\"/></g>";
    entries.push_back({detail::LegendEntry::Kind::line,
                       band.line_name,
                       {detail::ink_colour, "6 3", detail::MarkerShape::circle}});
    return out;
}

std::string trend_group(const TrendLine& trend, const LinearScale& x, const LinearScale& y,
                        std::vector<detail::LegendEntry>& entries) {
    const detail::SeriesStyle style = detail::series_style(trend.series);
    const std::string ends = "x1=\"" + svg_number(x(trend.from.x)) + "\" y1=\"" +
                             svg_number(y(trend.from.y)) + "\" x2=\"" + svg_number(x(trend.to.x)) +
                             "\" y2=\"" + svg_number(y(trend.to.y)) + "\"";
    entries.push_back(
        {detail::LegendEntry::Kind::line, trend.name, {style.colour, trend_dash, style.marker}});
    // A pale halo keeps the fitted line readable where it crosses its own series.
    return "<g class=\"trend\" data-trend=\"" + escape_html(trend.name) + "\"><line " + ends +
           " stroke=\"#ffffff\" stroke-width=\"5\"/><line " + ends + " stroke=\"" + style.colour +
           "\" stroke-width=\"2.5\" stroke-dasharray=\"" + trend_dash + "\"/></g>";
}

std::string shade_group(const LineChart& chart, const LinearScale& x,
                        std::vector<detail::LegendEntry>& entries) {
    if (chart.shades.empty()) {
        return {};
    }
    std::string out = "<g class=\"shades\">";
    for (const TimeShade& shade : chart.shades) {
        const double left = std::clamp(x(shade.start), plot_area.left, plot_area.right);
        const double right = std::clamp(x(shade.end), plot_area.left, plot_area.right);
        out += "<rect x=\"" + svg_number(left) + "\" y=\"" + svg_number(plot_area.top) + "\" width=\"" +
               svg_number(std::max(0.0, right - left)) + "\" height=\"" +
               svg_number(plot_area.bottom - plot_area.top) + "\" fill=\"" + detail::band_colour +
               "\" fill-opacity=\"0.15\"/>";
    }
    entries.push_back({detail::LegendEntry::Kind::band,
                       chart.shade_name,
                       {detail::band_colour, "", detail::MarkerShape::circle}});
    return out + "</g>";
}

std::string no_data_note() {
    return "<text class=\"empty\" x=\"" + svg_number((plot_area.left + plot_area.right) / 2) + "\" y=\"" +
           svg_number((plot_area.top + plot_area.bottom) / 2) +
           "\" text-anchor=\"middle\">No intervals were measured.</text>";
}

}  // namespace

std::string render_line_chart(const LineChart& chart) {
    const Extents extents = extents_of(chart);
    const bool has_data = !extents.y.empty();
    const AxisTicks x_ticks = nice_ticks(extents.x.low, has_data ? extents.x.high : 1.0, 7);
    const AxisTicks y_ticks =
        has_data ? nice_ticks(extents.y.low, extents.y.high, 6) : nice_ticks(0.0, 1.0, 6);
    const LinearScale x{x_ticks.low, x_ticks.high, plot_area.left, plot_area.right};
    const LinearScale y{y_ticks.low, y_ticks.high, plot_area.bottom, plot_area.top};

    std::string body = detail::plot_background(plot_area);
    body += detail::vertical_axis(y_ticks, y, plot_area, chart.y_label);
    body += detail::horizontal_axis(x_ticks, x, plot_area, chart.x_label);
    std::vector<detail::LegendEntry> entries;
    body += shade_group(chart, x, entries);
    if (chart.band) {
        body += band_group(*chart.band, y, entries);
    }
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        body += series_group(chart.series[i], i, x, y);
        entries.push_back({detail::LegendEntry::Kind::series, chart.series[i].name, detail::series_style(i)});
    }
    for (const auto& trend : chart.trends) {
        body += trend_group(trend, x, y, entries);
    }
    if (!has_data) {
        body += no_data_note();
    }
    return detail::figure(chart.id, chart.title, chart_width, chart_height, body, detail::legend(entries));
}

}  // namespace quorlind::bench
