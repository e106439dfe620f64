#include "compare/load_difference.h"

#include <cmath>

#include "result/kind_runs.h"
#include "result/names.h"
#include "util/number_format.h"

namespace quorlind::bench {
namespace {

// Small shares keep a decimal, so 0.3 % does not read as 0 %.
std::string share_text(double share) {
    const double percent = share * 100.0;
    return format_fixed(percent, percent < 10.0 ? 1 : 0) + " %";
}

// Below a point of the time the readings' own alignment may account for it.
constexpr double least_lost_difference = 0.01;

}  // namespace

std::vector<std::size_t> disturbed_runs(const Result& result) {
    std::vector<std::size_t> out;
    for (const auto& run : result.record.runs) {
        if (run.disturbance.disturbed == true) {
            out.push_back(run.index);
        }
    }
    return out;
}

std::optional<double> lost_share(const Result& result, std::uint32_t benchmark) {
    double lost = 0.0;
    double seconds = 0.0;
    for (const RunRecord* run : runs_of_kind(result.record.runs, benchmark).completed) {
        const auto share = run->load ? run->load->measurement.worker_cpu_share : std::nullopt;
        if (share && run->summary.measured_seconds > 0.0) {
            lost += std::max(0.0, 1.0 - *share) * run->summary.measured_seconds;
            seconds += run->summary.measured_seconds;
        }
    }
    return seconds > 0.0 ? std::optional<double>(lost / seconds) : std::nullopt;
}

void add_disturbance_notes(PairComparison& pair, const Result& base, const Result& candidate,
                           const std::string& candidate_label) {
    for (const KindComparison& kind : pair.kinds) {
        const auto base_lost = lost_share(base, kind.benchmark);
        const auto candidate_lost = lost_share(candidate, kind.benchmark);
        if (!base_lost || !candidate_lost) {
            continue;
        }
        const double difference = std::fabs(*candidate_lost - *base_lost);
        if (difference < least_lost_difference ||
            !(difference * 100.0 > std::fabs(kind.ratio.change_percent()))) {
            continue;
        }
        pair.notes.push_back(std::string(kind_label(kind.benchmark)) + ": " + candidate_label +
                             "'s runs lost " + share_text(*candidate_lost) +
                             " of their time to other processes, BASE's " + share_text(*base_lost) +
                             "; more than the " + format_fixed(std::fabs(kind.ratio.change_percent()), 1) +
                             " % change judged");
    }
}

}  // namespace quorlind::bench
