#pragma once

#include <string>

#include "result/run_record.h"

namespace quorlind::bench {

// How much a report says about a run's stability.
enum class StabilityWording {
    sentence,  // the text report: the span of a drift and what may cause it
    cell,      // the HTML runs table: short, and says when too few intervals left it unjudged
};

// A run's stability in words: "stable", "unstable: noisy", "unstable:
// drifting -7.8 % over 8 s", "stable; drifting -5.9 % over 60 s" (a trend on
// a run the library called stable), as each report puts it.
std::string stability_text(const RunRecord& run, StabilityWording wording);

}  // namespace quorlind::bench
