#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "result/run_record.h"

namespace quorlind::bench {

// What tool.name holds in every document the tool writes, and how its
// messages begin.
inline constexpr const char* tool_name = "quorlind-bench";

// Both kinds of run, in the order every output lists them.
inline constexpr std::array<std::uint32_t, 2> benchmark_kinds = {QUORLIND_BENCHMARK_SINGLE,
                                                                 QUORLIND_BENCHMARK_PER_CPU};

// The names results are written and read with: "completed", "single", "both".
const char* status_name(std::uint32_t status);
const char* benchmark_name(std::uint32_t benchmark);
const char* thread_mode_name(ThreadMode mode);

// The other way, for a reader; empty for a name that is none of them.
std::optional<std::uint32_t> benchmark_of_name(std::string_view name);
std::optional<ThreadMode> thread_mode_of_name(std::string_view name);

// A kind of run in words: "single-thread" before a noun, "single thread"
// alone, "Single thread" as a heading; "all-threads" and so on alike.
const char* kind_label(std::uint32_t benchmark);
const char* kind_words(std::uint32_t benchmark);
const char* kind_heading(std::uint32_t benchmark);

}  // namespace quorlind::bench
