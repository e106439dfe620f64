#include "report/svg/parts.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "util/html_escape.h"

namespace quorlind::bench::detail {
namespace {

constexpr double tick_length = 5.0;

std::string line(double x1, double y1, double x2, double y2, const std::string& attributes) {
    return "<line x1=\"" + svg_number(x1) + "\" y1=\"" + svg_number(y1) + "\" x2=\"" + svg_number(x2) +
           "\" y2=\"" + svg_number(y2) + "\" " + attributes + "/>";
}

std::string text(double x, double y, const std::string& attributes, const std::string& content) {
    return "<text x=\"" + svg_number(x) + "\" y=\"" + svg_number(y) + "\" " + attributes + ">" +
           escape_html(content) + "</text>";
}

std::string swatch(const LegendEntry& entry) {
    const std::string colour = entry.style.colour;
    std::string body;
    switch (entry.kind) {
        case LegendEntry::Kind::series:
        case LegendEntry::Kind::line:
            body = line(
                1, 6, 27, 6,
                "stroke=\"" + colour + "\" stroke-width=\"2\"" +
                    (*entry.style.dash != '\0' ? std::string(" stroke-dasharray=\"") + entry.style.dash + "\""
                                               : std::string()));
            if (entry.kind == LegendEntry::Kind::series) {
                body += marker(entry.style.marker, 14, 6, 3.5, entry.style.colour);
            }
            break;
        case LegendEntry::Kind::band:
            body = "<rect x=\"1\" y=\"1\" width=\"26\" height=\"10\" fill=\"" + colour +
                   "\" fill-opacity=\"0.22\"/>";
            break;
        case LegendEntry::Kind::dot:
            body = marker(entry.style.marker, 14, 6, 3.5, entry.style.colour);
            break;
        case LegendEntry::Kind::centre:
            body = line(14, 0, 14, 12, "stroke=\"" + colour + "\" stroke-width=\"3\"");
            break;
        case LegendEntry::Kind::interval:
            body = line(3, 6, 25, 6, "stroke=\"" + colour + "\" stroke-width=\"1.5\"") +
                   line(3, 2, 3, 10, "stroke=\"" + colour + "\" stroke-width=\"1.5\"") +
                   line(25, 2, 25, 10, "stroke=\"" + colour + "\" stroke-width=\"1.5\"");
            break;
        case LegendEntry::Kind::reference:
            body = line(14, 0, 14, 12,
                        "stroke=\"" + colour + "\" stroke-width=\"1.5\" stroke-dasharray=\"3 2\"");
            break;
    }
    return "<svg class=\"swatch\" viewBox=\"0 0 28 12\" width=\"28\" height=\"12\" aria-hidden=\"true\">" +
           body + "</svg>";
}

}  // namespace

std::string svg_number(double value) {
    if (!std::isfinite(value)) {
        return "0";
    }
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    std::string out = buffer;
    while (out.back() == '0') {
        out.pop_back();
    }
    if (out.back() == '.') {
        out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

SeriesStyle series_style(std::size_t index) {
    static constexpr std::array<const char*, 7> colours = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                                           "#E69F00", "#56B4E9", "#000000"};
    static constexpr std::array<const char*, 4> dashes = {"", "7 3", "2 3", "9 3 2 3"};
    static constexpr std::array<MarkerShape, 7> markers = {
        MarkerShape::circle, MarkerShape::square, MarkerShape::triangle,     MarkerShape::diamond,
        MarkerShape::cross,  MarkerShape::plus,   MarkerShape::triangle_down};
    // Seven colours by four dashes: the pair repeats only after 28 series.
    return {colours[index % colours.size()], dashes[(index + 2 * (index / colours.size())) % dashes.size()],
            markers[index % markers.size()]};
}

std::string marker(MarkerShape shape, double x, double y, double radius, const char* colour) {
    const std::string fill = std::string("fill=\"") + colour + "\"";
    const std::string stroke = std::string("stroke=\"") + colour + "\" stroke-width=\"1.8\" fill=\"none\"";
    const double r = radius;
    auto point = [](double px, double py) {
        return svg_number(px) + "," + svg_number(py);
    };
    switch (shape) {
        case MarkerShape::circle:
            return "<circle cx=\"" + svg_number(x) + "\" cy=\"" + svg_number(y) + "\" r=\"" + svg_number(r) +
                   "\" " + fill + "/>";
        case MarkerShape::square:
            return "<rect x=\"" + svg_number(x - r) + "\" y=\"" + svg_number(y - r) + "\" width=\"" +
                   svg_number(2 * r) + "\" height=\"" + svg_number(2 * r) + "\" " + fill + "/>";
        case MarkerShape::triangle:
            return "<polygon points=\"" + point(x, y - 1.2 * r) + " " + point(x + 1.1 * r, y + 0.9 * r) +
                   " " + point(x - 1.1 * r, y + 0.9 * r) + "\" " + fill + "/>";
        case MarkerShape::triangle_down:
            return "<polygon points=\"" + point(x, y + 1.2 * r) + " " + point(x + 1.1 * r, y - 0.9 * r) +
                   " " + point(x - 1.1 * r, y - 0.9 * r) + "\" " + fill + "/>";
        case MarkerShape::diamond:
            return "<polygon points=\"" + point(x, y - 1.3 * r) + " " + point(x + 1.3 * r, y) + " " +
                   point(x, y + 1.3 * r) + " " + point(x - 1.3 * r, y) + "\" " + fill + "/>";
        case MarkerShape::cross:
            return "<path d=\"M" + point(x - r, y - r) + "L" + point(x + r, y + r) + "M" +
                   point(x - r, y + r) + "L" + point(x + r, y - r) + "\" " + stroke + "/>";
        case MarkerShape::plus:
            return "<path d=\"M" + point(x - r, y) + "H" + svg_number(x + r) + "M" + point(x, y - r) + "V" +
                   svg_number(y + r) + "\" " + stroke + "/>";
    }
    return {};
}

std::string plot_background(const PlotArea& area) {
    return "<rect class=\"plot-area\" x=\"" + svg_number(area.left) + "\" y=\"" + svg_number(area.top) +
           "\" width=\"" + svg_number(area.right - area.left) + "\" height=\"" +
           svg_number(area.bottom - area.top) + "\"/>";
}

std::string vertical_axis(const AxisTicks& ticks, const LinearScale& scale, const PlotArea& area,
                          const std::string& label) {
    std::string out = "<g class=\"axis axis-y\">";
    for (const double value : ticks.values) {
        const double y = scale(value);
        out += line(area.left, y, area.right, y, "class=\"grid\"");
        out += line(area.left - tick_length, y, area.left, y, "class=\"tick\"");
        out += text(area.left - tick_length - 3, y + 4, "text-anchor=\"end\"", format_tick(value, ticks));
    }
    out += line(area.left, area.top, area.left, area.bottom, "class=\"domain\"");
    const double middle = (area.top + area.bottom) / 2.0;
    out += "<text class=\"axis-title\" transform=\"translate(14," + svg_number(middle) +
           ") rotate(-90)\" text-anchor=\"middle\">" + escape_html(label) + "</text>";
    return out + "</g>";
}

std::string horizontal_axis(const AxisTicks& ticks, const LinearScale& scale, const PlotArea& area,
                            const std::string& label) {
    std::string out = "<g class=\"axis axis-x\">";
    for (const double value : ticks.values) {
        const double x = scale(value);
        out += line(x, area.top, x, area.bottom, "class=\"grid\"");
        out += line(x, area.bottom, x, area.bottom + tick_length, "class=\"tick\"");
        out += text(x, area.bottom + tick_length + 14, "text-anchor=\"middle\"", format_tick(value, ticks));
    }
    out += line(area.left, area.bottom, area.right, area.bottom, "class=\"domain\"");
    out += text((area.left + area.right) / 2.0, area.bottom + 42,
                "class=\"axis-title\" text-anchor=\"middle\"", label);
    return out + "</g>";
}

std::string legend(const std::vector<LegendEntry>& entries) {
    std::string out = "<ul class=\"legend\">";
    for (const auto& entry : entries) {
        out += "<li>" + swatch(entry) + "<span>" + escape_html(entry.name) + "</span></li>";
    }
    return out + "</ul>";
}

std::string figure(const std::string& id, const std::string& title, double width, double height,
                   const std::string& svg_body, const std::string& legend_html) {
    const std::string safe_id = escape_html(id);
    return "<figure class=\"chart\" id=\"chart-" + safe_id + "\" data-chart=\"" + safe_id +
           "\"><figcaption>" + escape_html(title) +
           "</figcaption><div class=\"plot-frame\"><svg class=\"plot\" viewBox=\"0 0 " + svg_number(width) +
           " " + svg_number(height) + "\" role=\"img\" aria-label=\"" + escape_html(title) + "\">" +
           svg_body + "</svg></div>" + legend_html + "</figure>\n";
}

}  // namespace quorlind::bench::detail
