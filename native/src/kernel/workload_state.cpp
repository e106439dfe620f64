#include "kernel/workload_state.h"

namespace quorlind {

Expected<WorkloadState> WorkloadState::generate(std::uint64_t seed, WordTable::Allocator allocate) {
    std::uint64_t generator = seed ^ 0x9E3779B97F4A7C15ULL;

    WorkloadState state;
    if (!state.table.reserve_exactly(table_words, allocate)) {
        return Expected<WorkloadState>::failure(table_allocation_failed);
    }

    for (std::size_t i = 0; i < table_words; ++i) {
        state.table.push_back(next_word(generator));
    }
    for (std::size_t j = 0; j < text_bytes; ++j) {
        state.text[j] = text_alphabet[next_word(generator) & 31];
    }
    state.carry = generator;
    return state;
}

}  // namespace quorlind
