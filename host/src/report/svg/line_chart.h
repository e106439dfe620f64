#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorlind::bench {

// Plain descriptions of a chart of values over time: measured runs as step
// lines, the median in its band and fitted trend lines.

struct ChartPoint {
    double x = 0.0;
    double y = 0.0;
};

// One measured run: a step line over its intervals, each (start, end, rate).
struct StepSeries {
    std::string name;
    struct Step {
        double start = 0.0;
        double end = 0.0;
        double value = 0.0;
    };
    std::vector<Step> steps;
};

// A horizontal line (the median) inside a band (the confidence interval,
// where there is one).
struct ValueBand {
    std::string band_name;
    std::string line_name;
    std::optional<double> low;
    std::optional<double> high;
    double line = 0.0;
};

// A straight line drawn in the colour of the series it belongs to.
struct TrendLine {
    std::string name;
    std::size_t series = 0;
    ChartPoint from;
    ChartPoint to;
};

// A span of time shaded across the plot (disturbed intervals), under the lines.
struct TimeShade {
    double start = 0.0;
    double end = 0.0;
};

struct LineChart {
    std::string id;  // a fixed token chosen by the caller, not from any file
    std::string title;
    std::string x_label;
    std::string y_label;
    std::vector<StepSeries> series;
    std::optional<ValueBand> band;
    std::vector<TrendLine> trends;
    std::vector<TimeShade> shades;
    std::string shade_name;  // the legend's words for the shades
};

// The chart as a <figure> holding inline SVG and an HTML legend; every text
// is escaped here.
std::string render_line_chart(const LineChart& chart);

}  // namespace quorlind::bench
