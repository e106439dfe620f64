#pragma once

namespace quorlind::bench::exit_code {

inline constexpr int completed = 0;
inline constexpr int run_failed = 1;
inline constexpr int usage = 2;
inline constexpr int interrupted = 130;

} // namespace quorlind::bench::exit_code
