#include "export/csv.h"

#include "result/names.h"
#include "util/number_format.h"

namespace quorlind::bench {

void write_samples_csv(std::ostream& out, const Result& result) {
    out << "interval,end_seconds,duration_seconds,operations,ops_per_second,run,threads\n";
    for (const auto& run : result.record.runs) {
        for (std::size_t i = 0; i < run.samples.size(); ++i) {
            const auto& sample = run.samples[i];
            out << i << ',' << format_exact(sample.end_seconds) << ','
                << format_exact(sample.duration_seconds) << ',' << sample.operations << ','
                << format_exact(sample.ops_per_second) << ',' << run.index << ','
                << benchmark_name(run.config.benchmark) << '\n';
        }
    }
}

}  // namespace quorlind::bench
