#pragma once

#include <cstdint>
#include <span>

#include "kernel/kernel.h"

namespace quorlind::reference {

// The kernel written the obvious way, a `switch` per byte on mode and class,
// kept beside the library's kernel so that benchmarks can show that the
// library's version is at least as fast and checks can show it gives
// identical results.
std::uint64_t run_kernel(WorkloadState& state);
detail::ScanResult scan_text(std::uint64_t acc, std::span<const std::uint8_t> text) noexcept;

// True when the library's kernel and this one agree on every scan from every
// mode over all byte values, and on results and tables over `calls` calls on
// the states of seeds 0 to 3. `detail` receives the first difference.
bool agrees_with_library(int calls, const char** detail);

}  // namespace quorlind::reference
