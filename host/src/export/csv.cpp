#include "export/csv.h"

#include "result/names.h"
#include "util/number_format.h"

namespace quorlind::bench {
namespace {

// Empty where unknown, as spreadsheets read a missing value.
std::string figure_text(const RunRecord& run, std::size_t i, std::optional<double> LoadFigures::*figure) {
    if (!run.load || i >= run.load->intervals.size()) {
        return {};
    }
    const auto& value = run.load->intervals[i].*figure;
    return value ? format_exact(*value) : std::string();
}

}  // namespace

void write_samples_csv(std::ostream& out, const Result& result) {
    out << "interval,end_seconds,duration_seconds,operations,ops_per_second,run,threads,worker_cpu_share,"
           "other_processes_cpus\n";
    for (const auto& run : result.record.runs) {
        for (std::size_t i = 0; i < run.samples.size(); ++i) {
            const auto& sample = run.samples[i];
            out << i << ',' << format_exact(sample.end_seconds) << ','
                << format_exact(sample.duration_seconds) << ',' << sample.operations << ','
                << format_exact(sample.ops_per_second) << ',' << run.index << ','
                << benchmark_name(run.config.benchmark) << ','
                << figure_text(run, i, &LoadFigures::worker_cpu_share) << ','
                << figure_text(run, i, &LoadFigures::other_processes_cpus) << '\n';
        }
    }
}

}  // namespace quorlind::bench
