#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "result/result.h"

namespace quorlind::bench {

// The result in Prometheus' text exposition format, for node_exporter's
// textfile collector: gauges only, no sample timestamps (the collector refuses
// them), every series labelled with the processor and the library version.
// Values the result does not hold are left out, never written as zero.
std::string to_openmetrics(const Result& result);

// Seconds since 1970 for "YYYY-MM-DDTHH:MM:SSZ"; nothing for any other text.
std::optional<std::int64_t> parse_utc_timestamp(std::string_view text);

}  // namespace quorlind::bench
