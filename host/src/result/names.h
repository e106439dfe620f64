#pragma once

#include "result/run_record.h"

#include <cstdint>

namespace quorlind::bench {

// The names results are written and read with: "completed", "single", "both".
const char* status_name(std::uint32_t status);
const char* benchmark_name(std::uint32_t benchmark);
const char* thread_mode_name(ThreadMode mode);

}  // namespace quorlind::bench
