#pragma once

// What the system reports about the calling thread, so that tests can check
// the threads the library starts from inside them. One implementation per
// platform, chosen by the build.

#include <cstddef>
#include <string>

namespace quorlind::testing {

// The name the system shows for the calling thread, "" where it has none.
std::string current_thread_name();

// Size of the calling thread's stack as the system reports it, 0 if unknown.
std::size_t current_thread_stack_bytes();

// The processors the calling thread may run on, as text that compares equal
// between threads allowed the same ones (Linux: its affinity mask; Windows:
// its processor group and the mask within it); "" if unknown.
std::string current_thread_processors();

}  // namespace quorlind::testing
