#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/expected.h"
#include "kernel/word_table.h"

namespace quorlind {

inline constexpr std::size_t table_words = 32768;
inline constexpr std::size_t text_bytes = 4096;

// 32 entries indexed by five generator bits; digits appear twice, so most
// text bytes are digits and the scan spends its time inside numbers.
inline constexpr std::array<std::uint8_t, 32> text_alphabet = {
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2', '3', '4', '5',
    '6', '7', '8', '9', ' ', '+', '-', '.', ',', 'e', 'E', ';', 'x', 'y', 'z', '\n'};

inline constexpr const char* table_allocation_failed =
    "memory allocation failed because the memory allocator returned an error";

// One generator step: xorshift64* shifts and multiplier, but the multiplied
// value is carried into the next step.
constexpr std::uint64_t next_word(std::uint64_t& generator) noexcept {
    std::uint64_t g = generator;
    g ^= g >> 12;
    g ^= g << 25;
    g ^= g >> 27;
    g *= 0x2545F4914F6CDD1DULL;
    generator = g;
    return g;
}

// A worker's private data: the table the kernel walks and rewrites, the text
// it scans, and the word that chains one kernel call to the next.
struct WorkloadState {
    WordTable table;
    std::array<std::uint8_t, text_bytes> text{};
    std::uint64_t carry = 0;

    // Deterministic in the seed; fails only when the table's storage cannot be
    // obtained, with table_allocation_failed as the error text.
    static Expected<WorkloadState> generate(std::uint64_t seed,
                                            WordTable::Allocator allocate = &WordTable::allocate_from_heap);
};

}  // namespace quorlind
