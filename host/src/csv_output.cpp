#include "csv_output.hpp"

#include "number_format.hpp"

namespace quorlind::bench {

void write_samples_csv(std::ostream &out, const std::vector<QuorlindIntervalSample> &samples) {
    out << "interval,end_seconds,duration_seconds,operations,ops_per_second\n";
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto &sample = samples[i];
        out << i << ',' << format_exact(sample.end_seconds) << ',' << format_exact(sample.duration_seconds) << ','
            << sample.operations << ',' << format_exact(sample.ops_per_second) << '\n';
    }
}

} // namespace quorlind::bench
