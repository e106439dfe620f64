#pragma once

#include <quorlind.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quorlind::bench {

struct SystemDescription {
    std::string processor;
    unsigned logical_processors = 0;
    std::string operating_system;
    std::string library_version;
    std::uint32_t abi_version = 0;
};

// Everything one invocation learned: what was asked, what came back, and
// where it ran. The writers (report, JSON, CSV) read only this.
struct RunRecord {
    std::string host_version;
    QuorlindRunConfig config{};
    QuorlindRunSummary summary{};
    std::vector<QuorlindIntervalSample> samples;
    std::string reason;
    SystemDescription system;
    std::vector<std::string> notes;
};

const char *status_name(std::uint32_t status);
const char *benchmark_name(std::uint32_t benchmark);

} // namespace quorlind::bench
