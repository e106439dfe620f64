#pragma once

// What the operating system says about this test process: its threads, the
// names of the library's worker threads among them, and its resident memory.
// Each probe answers nothing where the system offers no cheap way to ask.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorlind::testing {

// Threads of this process.
std::optional<std::uint64_t> thread_count();

// Resident memory of this process in bytes.
std::optional<std::uint64_t> resident_bytes();

// Names of this process's threads that begin with "quorlind-".
std::optional<std::vector<std::string>> worker_thread_names();

// A joined thread may still be listed for a moment while the system tears
// it down, so these wait up to `limit` for the condition to hold and return
// what was seen last.
std::optional<std::vector<std::string>> worker_threads_after_settling(
    std::chrono::milliseconds limit = std::chrono::seconds(10));
std::optional<std::uint64_t> thread_count_after_settling(
    std::uint64_t at_most, std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace quorlind::testing
