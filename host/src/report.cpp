#include "report.hpp"

#include "number_format.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

namespace quorlind::bench {
namespace {

constexpr std::size_t max_table_rows = 20;

std::string pad_left(const std::string &text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

void field(std::ostream &out, const char *label, const std::string &value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "  %-12s", label);
    out << buffer << value << '\n';
}

std::string variation_text(const QuorlindRunSummary &summary) {
    if (summary.has_variation == 0) {
        return "not available (too few intervals)";
    }
    std::string text = format_fixed(summary.variation_percent, 2) + " %";
    return text + (summary.unstable != 0 ? " (unstable: above 10 %)" : " (stable)");
}

void write_sample_table(std::ostream &out, const std::vector<QuorlindIntervalSample> &samples) {
    if (samples.empty()) {
        out << "  No intervals were measured.\n";
        return;
    }
    const auto rows = join_samples(samples, max_table_rows);
    out << "  Intervals";
    if (rows.size() < samples.size()) {
        out << " (" << samples.size() << " joined into " << rows.size() << " rows)";
    }
    out << ":\n";
    out << "    " << pad_left("end (s)", 9) << pad_left("length (s)", 12) << pad_left("operations", 18)
        << pad_left("ops/s", 18) << '\n';
    for (const auto &row : rows) {
        out << "    " << pad_left(format_fixed(row.end_seconds, 3), 9)
            << pad_left(format_fixed(row.duration_seconds, 3), 12)
            << pad_left(group_thousands(row.operations), 18) << pad_left(format_rate(row.ops_per_second), 18)
            << '\n';
    }
}

} // namespace

std::vector<QuorlindIntervalSample> join_samples(const std::vector<QuorlindIntervalSample> &samples,
                                                 std::size_t max_rows) {
    if (max_rows == 0 || samples.size() <= max_rows) {
        return samples;
    }
    const std::size_t per_row = (samples.size() + max_rows - 1) / max_rows;
    std::vector<QuorlindIntervalSample> rows;
    for (std::size_t first = 0; first < samples.size(); first += per_row) {
        QuorlindIntervalSample row{};
        const std::size_t last = std::min(samples.size(), first + per_row);
        for (std::size_t i = first; i < last; ++i) {
            row.duration_seconds += samples[i].duration_seconds;
            row.operations += samples[i].operations;
        }
        row.end_seconds = samples[last - 1].end_seconds;
        row.ops_per_second = row.duration_seconds > 0.0
                                 ? static_cast<double>(row.operations) / row.duration_seconds
                                 : 0.0;
        rows.push_back(row);
    }
    return rows;
}

std::string system_line(const SystemDescription &system) {
    std::string line = system.processor.empty() ? "unknown processor" : system.processor;
    line += ", " + std::to_string(system.logical_processors) + " logical processors";
    line += ", " + (system.operating_system.empty() ? std::string("unknown system") : system.operating_system);
    line += ", library " + system.library_version;
    return line;
}

void write_report(std::ostream &out, const RunRecord &record) {
    const QuorlindRunSummary &summary = record.summary;
    const bool completed = summary.status == QUORLIND_STATUS_COMPLETED;
    out << "Quorlind " << (summary.benchmark == QUORLIND_BENCHMARK_PER_CPU ? "all-threads" : "single-thread")
        << " benchmark: " << status_name(summary.status);
    if (!completed && !record.reason.empty()) {
        out << " (" << record.reason << ")";
    }
    out << '\n';

    field(out, "Throughput",
          completed ? format_rate(summary.ops_per_second) + " operations/s" : "- (the run did not complete)");
    field(out, "Workers", std::to_string(summary.workers));
    field(out, "Measured",
          format_fixed(summary.measured_seconds, 3) + " s (planned " + format_exact(summary.measurement_seconds) +
              " s after " + format_exact(summary.warmup_seconds) + " s warm-up)");
    field(out, "Variation", variation_text(summary));
    field(out, "Operations", group_thousands(summary.total_operations));
    field(out, "Checksum", format_hex64(summary.checksum));
    write_sample_table(out, record.samples);
    field(out, "System", system_line(record.system));
}

} // namespace quorlind::bench
