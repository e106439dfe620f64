#include "system/cpu_probe.h"

namespace quorlind::bench {

// Architectures without CPUID: the brand string and hypervisor come from the
// operating system where it tells them, and the clock stays unknown rather
// than guessed from an instruction whose latency is not known here.

std::optional<std::string> cpu_brand_string() { return std::nullopt; }

Hypervisor read_hypervisor() { return {}; }

std::optional<double> measure_effective_clock_mhz() { return std::nullopt; }

}  // namespace quorlind::bench
