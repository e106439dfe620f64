#pragma once

#include "result/result.h"

#include <ostream>

namespace quorlind::bench {

// One row per interval of every run, numbers written so that they read back
// exactly. The run's index and kind come last, so readers of the first five
// columns need not know about repeated runs.
void write_samples_csv(std::ostream& out, const Result& result);

}  // namespace quorlind::bench
