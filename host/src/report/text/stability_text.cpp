#include "report/text/stability_text.h"

#include "util/number_format.h"

namespace quorlind::bench {

std::string stability_text(const RunRecord& run, StabilityWording wording) {
    const bool sentence = wording == StabilityWording::sentence;
    const Stability& stability = run.stability;
    switch (stability.instability) {
        case Instability::drift: {
            // The library's flag decides stable or unstable; a trend on a run
            // it called stable is said beside that, never against it.
            std::string text = run.summary.unstable != 0        ? "unstable: drifting"
                               : run.summary.has_variation != 0 ? "stable; drifting"
                                                                : "drifting";
            if (stability.trend_percent) {
                text += " " + format_signed_percent(*stability.trend_percent);
            }
            if (sentence) {
                return text + " over " + format_seconds_rounded(stability.measured_seconds) +
                       " (throttling or a clock change?)";
            }
            return text + " over " + format_fixed(run.summary.measured_seconds, 0) + " s";
        }
        case Instability::noise:
            return sentence ? "unstable: noisy, above 10 % without a significant trend" : "unstable: noisy";
        case Instability::none:
            break;
    }
    if (sentence) {
        return "stable";
    }
    if (run.summary.has_variation == 0) {
        return "not judged (too few intervals)";
    }
    return run.summary.unstable != 0 ? "unstable" : "stable";
}

}  // namespace quorlind::bench
