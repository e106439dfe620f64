#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/svg/axis.h"

// Pieces shared by the line and row charts: numbers, the series styles,
// markers, axes, the legend and the figure around a chart.
namespace quorlind::bench::detail {

// Coordinates with two decimals at most, trailing zeros dropped.
std::string svg_number(double value);

enum class MarkerShape { circle, square, triangle, diamond, cross, plus, triangle_down };

// Colour (Okabe-Ito, safe for colour-blind readers), dash pattern and marker
// together, so series stay apart in grey print as well.
struct SeriesStyle {
    const char* colour;
    const char* dash;  // empty for a solid line
    MarkerShape marker;
};

SeriesStyle series_style(std::size_t index);

inline constexpr const char* band_colour = "#767676";
inline constexpr const char* ink_colour = "#1a1a1a";

std::string marker(MarkerShape shape, double x, double y, double radius, const char* colour);

struct PlotArea {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

// The plot area's background, under the grid.
std::string plot_background(const PlotArea& area);

// Grid lines, tick labels and the axis title along the left or the bottom of the plot area.
std::string vertical_axis(const AxisTicks& ticks, const LinearScale& scale, const PlotArea& area,
                          const std::string& label);
std::string horizontal_axis(const AxisTicks& ticks, const LinearScale& scale, const PlotArea& area,
                            const std::string& label);

struct LegendEntry {
    // series: a line with its marker; line: a line in the style's colour and dash, no marker.
    enum class Kind { series, line, band, dot, centre, interval, reference };
    Kind kind = Kind::series;
    std::string name;
    SeriesStyle style{ink_colour, "", MarkerShape::circle};
};

std::string legend(const std::vector<LegendEntry>& entries);

// The <figure>: caption, the SVG with its view box, the legend below it.
std::string figure(const std::string& id, const std::string& title, double width, double height,
                   const std::string& svg_body, const std::string& legend_html);

}  // namespace quorlind::bench::detail
