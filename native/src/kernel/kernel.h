#pragma once

#include <cstdint>
#include <span>

#include "kernel/workload_state.h"

namespace quorlind {

enum class ScanMode : std::uint8_t { idle = 0, number = 1, point = 2, fraction = 3 };

// One unit of benchmark work: pre-mix the carry word, scan the text, walk and
// rewrite the table. Returns the result and leaves it in state.carry, so each
// call starts where the previous one ended. Allocates nothing.
std::uint64_t run_kernel(WorkloadState& state);

namespace detail {

struct ScanResult {
    std::uint64_t acc;
    ScanMode mode;
};

// The three phases, exposed for tests and benchmarks.
std::uint64_t premix(std::uint64_t carry) noexcept;
// Starts in the mode numbered acc & 3; handles every byte value.
ScanResult scan_text(std::uint64_t acc, std::span<const std::uint8_t> text) noexcept;
std::uint64_t walk_table(std::uint64_t acc, WordTable& table);

}  // namespace detail
}  // namespace quorlind
