#pragma once

#include "progress.hpp"
#include "run_record.hpp"

namespace quorlind::bench {

// Runs one benchmark through the library and collects its outcome into the
// record's summary, samples and reason. Ctrl-C cancels it meanwhile.
void run_benchmark(RunRecord &record, ProgressReporter &progress);

} // namespace quorlind::bench
