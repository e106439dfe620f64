#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorlind::bench {

// Plain descriptions of the report's charts; render_* turn them into a
// <figure> holding inline SVG and an HTML legend. Every text is escaped here.

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

struct LineChart {
    std::string id;  // a fixed token chosen by the caller, not from any file
    std::string title;
    std::string x_label;
    std::string y_label;
    std::vector<StepSeries> series;
    std::optional<ValueBand> band;
    std::vector<TrendLine> trends;
};

// Rows on one shared horizontal axis, labelled at the left: each row may hold a bar from zero,
// single values (runs) as dots, a centre mark and an interval.
struct ChartRow {
    std::string label;
    std::optional<double> bar;
    std::vector<double> dots;
    std::optional<double> centre;
    std::optional<double> low;
    std::optional<double> high;
    std::string note;  // printed at the right end of the row
};

struct RowChart {
    std::string id;
    std::string title;
    std::string x_label;
    std::vector<ChartRow> rows;
    bool from_zero = false;
    std::optional<double> reference;  // e.g. a ratio of 1
    std::string reference_name;
    std::optional<double> band_low;  // e.g. the threshold around the reference
    std::optional<double> band_high;
    std::string band_name;
    std::string dot_name = "run";
    std::string centre_name = "median";
    std::string interval_name = "95 % confidence interval";
};

std::string render_line_chart(const LineChart& chart);
std::string render_row_chart(const RowChart& chart);

}  // namespace quorlind::bench
