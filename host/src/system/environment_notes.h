#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorlind::bench {

// What the system tells about conditions that skew a benchmark; gathered by
// the platform layer, judged here.
struct EnvironmentFacts {
    std::vector<std::string> frequency_governors;  // one per processor that reports one
    std::optional<double> load_average;            // one-minute average
    std::optional<std::string> hypervisor;         // its name, when running under one
    unsigned logical_processors = 0;               // the machine's
    std::optional<unsigned> usable_processors;     // those this process may run on
};

inline constexpr double busy_load_average = 1.0;

// Notes for the user, never refusals: the run goes ahead either way.
std::vector<std::string> environment_notes(const EnvironmentFacts& facts);

}  // namespace quorlind::bench
