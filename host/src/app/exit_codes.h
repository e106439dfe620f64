#pragma once

namespace quorlind::bench::exit_code {

inline constexpr int completed = 0;
inline constexpr int run_failed = 1;
inline constexpr int usage = 2;

// compare: 0 no slowdown, 1 an unreadable or invalid file, 2 usage as above.
inline constexpr int invalid_file = 1;
inline constexpr int slower = 3;
inline constexpr int not_comparable = 4;

inline constexpr int interrupted = 130;

}  // namespace quorlind::bench::exit_code
