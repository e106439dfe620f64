#pragma once

#include "run/progress.h"
#include "result/run_record.h"

#include <functional>
#include <ostream>
#include <vector>

namespace quorlind::bench {

// Runs one benchmark through the library and collects its outcome into the
// record's summary, samples and reason. An interrupt cancels it meanwhile.
void measure_run(RunRecord& record, ProgressReporter& progress);

// Runs the configurations in order, back to back, each on its own handle,
// and appends every run to the result as it ends. A run cancelled by Ctrl-C
// is kept and ends the series; a failed one does not. after_run, when given,
// sees the result after each run that leaves more to do.
void run_series(ResultRecord& result, const std::vector<QuorlindRunConfig>& configs, ProgressStyle style,
                std::ostream& progress_out, const std::function<void(const ResultRecord&)>& after_run = {});

}  // namespace quorlind::bench
