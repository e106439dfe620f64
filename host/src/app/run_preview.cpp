#include "app/run_preview.h"

#include <string>
#include <utility>
#include <vector>

#include "app/run_plan.h"
#include "report/text/columns.h"
#include "result/names.h"
#include "util/number_format.h"

namespace quorlind::bench {
namespace {

std::string kinds_text(const Options& options) {
    switch (options.threads) {
        case ThreadMode::both:
            return "single and all threads alternating, " + std::to_string(options.repeat) + " of each";
        case ThreadMode::all:
            return kind_words(QUORLIND_BENCHMARK_PER_CPU);
        case ThreadMode::single:
            break;
    }
    return kind_words(QUORLIND_BENCHMARK_SINGLE);
}

std::vector<std::string> outputs(const Options& options) {
    std::vector<std::string> written;
    if (options.json) {
        written.push_back("--json " +
                          (options.json_to_stdout() ? std::string("to standard output") : options.json_path));
    }
    for (const auto& [name, path] : {std::pair<const char*, const std::string&>{"--csv ", options.csv_path},
                                     {"--markdown ", options.markdown_path},
                                     {"--html ", options.html_path},
                                     {"--openmetrics ", options.openmetrics_path}}) {
        if (!path.empty()) {
            written.push_back(
                name + (path == "-" && std::string(name) == "--markdown " ? "to standard output" : path));
        }
    }
    return written;
}

}  // namespace

void write_run_preview(std::ostream& out, const Options& options) {
    const auto plan = planned_benchmarks(options.threads, options.repeat);
    out << "Plan: " << format_count(plan.size(), "run", "runs") << " (" << kinds_text(options) << ")\n";
    out << "  " << pad_left("run", 4) << "  " << pad_right("threads", 9) << pad_left("warm-up", 10)
        << pad_left("measured", 11) << '\n';
    for (std::size_t i = 0; i < plan.size(); ++i) {
        out << "  " << pad_left(std::to_string(i + 1), 4) << "  " << pad_right(benchmark_name(plan[i]), 9)
            << pad_left(format_seconds_exact(options.warmup_seconds), 10)
            << pad_left(format_seconds_exact(options.measurement_seconds), 11) << '\n';
    }
    const double seconds =
        static_cast<double>(plan.size()) * (options.warmup_seconds + options.measurement_seconds);
    // Building the workload before each run takes a moment the plan cannot foresee.
    out << "Expected wall time: " << format_clock(seconds) << " (" << format_seconds_exact(seconds)
        << "), plus building the workload before each run\n";
    for (const auto& line : outputs(options)) {
        out << "Would write " << line << '\n';
    }
    out << "Nothing was run (--dry-run).\n";
}

}  // namespace quorlind::bench
