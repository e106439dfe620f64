#pragma once

#include <string>

#include "result/result.h"

namespace quorlind::bench {

// The result in Prometheus' text exposition format, for node_exporter's
// textfile collector: gauges only, no sample timestamps (the collector refuses
// them), every series labelled with the processor and the library version.
// Values the result does not hold are left out, never written as zero.
std::string to_openmetrics(const Result& result);

}  // namespace quorlind::bench
