#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorlind::bench {

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

// The chart as a <figure> holding inline SVG and an HTML legend; every text
// is escaped here.
std::string render_row_chart(const RowChart& chart);

}  // namespace quorlind::bench
