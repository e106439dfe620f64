#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "system/system_record.h"

namespace quorlind::bench {

// Readers of the files Linux describes the machine in. Each takes the root
// the files hang from ("/" for the machine itself), so tests can point them
// at a made-up tree. A missing or unreadable file leaves its value unknown.

// "model name" (x86), "Model" or "cpu model" from /proc/cpuinfo.
std::optional<std::string> read_processor_model(const std::filesystem::path& root);

// Base and maximum from cpufreq. The base is intel_pstate's base_frequency,
// else the ACPI CPPC nominal frequency; the maximum is the highest
// cpuinfo_max_freq of any processor (hybrid parts differ). Without any
// cpufreq directory (virtual machines, containers) /proc/cpuinfo's "cpu MHz"
// serves as the base: there it is the fixed timestamp clock, whereas with
// cpufreq present it is merely the clock of the moment.
ClockInfo read_cpu_clock(const std::filesystem::path& root);

// Governors per processor; boost from intel_pstate's no_turbo, else cpufreq's
// global or per-policy boost switch.
PowerSettings read_power_settings(const std::filesystem::path& root);

// NAME and VERSION (else VERSION_ID) from os-release; the build is the kernel
// release and version as uname gives them.
OsIdentity read_os_identity(const std::filesystem::path& root, const std::string& kernel_release,
                            const std::string& kernel_version);

}  // namespace quorlind::bench
