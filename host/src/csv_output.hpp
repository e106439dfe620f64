#pragma once

#include <quorlind.h>

#include <ostream>
#include <vector>

namespace quorlind::bench {

// One row per interval, numbers written so that they read back exactly.
void write_samples_csv(std::ostream &out, const std::vector<QuorlindIntervalSample> &samples);

} // namespace quorlind::bench
