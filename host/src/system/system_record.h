#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/environment_notes.h"

namespace quorlind::bench {

// Every member that the system may not tell is optional: unknown is a value
// here (null in JSON, "unknown" in the report), never an error.

struct BuildInfo {
    std::optional<std::string> compiler;  // "GCC", "Clang", "MSVC"
    std::optional<std::string> compiler_version;
    std::optional<std::string> build_type;  // the CMake build type
};

struct CacheLevel {
    std::uint64_t size_bytes = 0;  // one cache
    unsigned count = 0;            // caches of this level in the machine
};

struct Topology {
    std::optional<unsigned> packages;
    std::optional<unsigned> physical_cores;
    std::optional<unsigned> logical_processors;
    std::optional<unsigned> numa_nodes;
    std::optional<bool> smt;
    std::optional<CacheLevel> l1d;
    std::optional<CacheLevel> l2;
    std::optional<CacheLevel> l3;
    // What this process may run on: its affinity mask, which taskset, a
    // container or a job object narrows. Unknown where the system does not say.
    std::optional<unsigned> usable_logical_processors;
    std::optional<unsigned> usable_physical_cores;  // cores with a usable logical processor
    // Windows keeps logical processors in groups of at most 64; Linux has none.
    std::optional<unsigned> processor_groups;
};

struct ClockInfo {
    std::optional<double> base_mhz;
    std::optional<double> max_mhz;
};

struct PowerSettings {
    std::vector<std::string> governors;  // one per processor that reports one
    std::optional<bool> boost;
};

struct OsIdentity {
    std::optional<std::string> name;
    std::optional<std::string> version;
    std::optional<std::string> build;
};

struct Hypervisor {
    std::optional<bool> present;
    std::optional<std::string> vendor;
};

using LoadAverage = std::array<double, 3>;  // 1, 5 and 15 minutes

struct SystemRecord {
    std::string processor;
    unsigned logical_processors = 0;
    std::string operating_system;  // one display line
    std::string library_version;
    std::uint32_t abi_version = 0;

    std::optional<std::chrono::sys_seconds> start_time_utc;
    std::optional<double> monotonic_start_seconds;
    std::optional<std::string> host_name;

    Topology topology;
    ClockInfo clock;
    std::optional<double> effective_clock_before_mhz;
    std::optional<double> effective_clock_after_mhz;
    PowerSettings power;
    Hypervisor hypervisor;
    OsIdentity os;
    std::optional<LoadAverage> load_before;
    std::optional<LoadAverage> load_after;
    BuildInfo library_build;
};

// The governors as one value: the governor, or the distinct ones listed with
// commas when processors differ; empty when none reported one.
std::optional<std::string> governor_summary(const PowerSettings& power);

// A time as "YYYY-MM-DDTHH:MM:SSZ", the one form result files hold.
std::string format_utc(std::chrono::sys_seconds time);

// That form read back; nothing for any other text, an impossible date
// included. A leap second (":60") reads as the next minute's first.
std::optional<std::chrono::sys_seconds> parse_utc(std::string_view text);

// What the environment notes judge, taken from the record.
EnvironmentFacts environment_facts(const SystemRecord& system);

}  // namespace quorlind::bench
