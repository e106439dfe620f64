#pragma once

// Windows gathers logical processors into groups of at most 64, and a thread
// runs in one group at a time. Given the active processors of each group, in
// group order, these say how many workers a run of one worker per processor
// starts and which group each goes to: the first group's processors are
// filled first, then the next group's. Plain functions, so that layouts no
// test machine has can be tried on any system.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorlind::platform {

// Every active processor of every group.
std::uint64_t processors_in_groups(const std::vector<std::uint32_t>& group_sizes);

// The group that worker `index` is put in. None where fewer than two groups
// have processors: there is nothing to choose, and the thread stays where the
// system starts it. An index beyond the total starts over at the first group.
std::optional<std::size_t> group_of_worker(const std::vector<std::uint32_t>& group_sizes,
                                           std::uint64_t index);

}  // namespace quorlind::platform
