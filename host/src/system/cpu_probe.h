#pragma once

#include <optional>
#include <string>

#include "system/system_record.h"

namespace quorlind::bench {

// What the processor tells about itself, the same on every operating system.
// One implementation per architecture; where an architecture has no such
// instruction everything is unknown.

// The brand string, e.g. "AMD EPYC 7B13 64-Core Processor", without padding.
std::optional<std::string> cpu_brand_string();

// From the hypervisor bit and leaf 0x40000000, with well-known signatures
// given their usual names ("KVM", "Microsoft Hyper-V").
Hypervisor read_hypervisor();

// The clock the calling thread runs at, in MHz: the rate of a chain of
// dependent additions (one cycle each), best of a few timings of about a
// millisecond. Works where frequency files are missing, as in virtual
// machines, and sees throttling that the nominal figures do not.
std::optional<double> measure_effective_clock_mhz();

// A 12-byte hypervisor signature as a display name; unknown ones are kept
// as they are, less padding.
std::string hypervisor_name(const std::string& signature);

}  // namespace quorlind::bench
