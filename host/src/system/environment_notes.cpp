#include "system/environment_notes.h"

#include "util/number_format.h"

#include <algorithm>

namespace quorlind::bench {

std::vector<std::string> environment_notes(const EnvironmentFacts& facts) {
    std::vector<std::string> notes;
    const auto& governors = facts.frequency_governors;
    const auto first_other =
        std::find_if(governors.begin(), governors.end(),
                     [](const std::string& governor) { return governor != "performance"; });
    if (first_other != governors.end()) {
        const auto others =
            std::count_if(governors.begin(), governors.end(),
                          [](const std::string& governor) { return governor != "performance"; });
        notes.push_back("the CPU frequency governor is '" + *first_other + "' on " + std::to_string(others) +
                        " of " + std::to_string(governors.size()) +
                        " processors, not 'performance'; clock speeds may change during the run");
    }
    if (facts.load_average && *facts.load_average > busy_load_average) {
        notes.push_back("the load average is " + format_fixed(*facts.load_average, 2) +
                        " before the run; other work on this machine may lower the result");
    }
    if (facts.usable_processors && *facts.usable_processors < facts.logical_processors) {
        notes.push_back(
            "this process may run on only " + std::to_string(*facts.usable_processors) +
            " of the machine's " + std::to_string(facts.logical_processors) +
            " logical processors (an affinity mask or a job limit); an all-threads run measures those alone");
    }
    if (facts.hypervisor) {
        notes.push_back("running inside a virtual machine (" + *facts.hypervisor +
                        "): results vary with the host's load");
    }
    return notes;
}

}  // namespace quorlind::bench
