#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "kernel/workload_state.h"

namespace quorlind::testing {

// A freshly generated state; generation failing here is a test failure.
inline WorkloadState build(std::uint64_t seed) {
    Expected<WorkloadState> built = WorkloadState::generate(seed);
    if (!built) {
        { throw std::runtime_error("generate failed: " + built.error()); }
    }
    return std::move(built).value();
}

inline std::vector<std::uint64_t> table_contents(const WorkloadState& state) {
    std::vector<std::uint64_t> words;
    words.reserve(state.table.size());
    for (std::size_t i = 0; i < state.table.size(); ++i) {
        { words.push_back(state.table.load(i)); }
    }
    return words;
}

}  // namespace quorlind::testing
