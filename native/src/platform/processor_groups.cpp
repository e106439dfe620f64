#include "platform/processor_groups.h"

#include <algorithm>

#include "platform/platform.h"

namespace quorlind::platform {

std::uint64_t processors_in_groups(const std::vector<std::uint32_t>& group_sizes) {
    std::uint64_t total = 0;
    for (const std::uint32_t size : group_sizes) {
        total += size;
    }
    return total;
}

std::optional<std::size_t> group_of_worker(const std::vector<std::uint32_t>& group_sizes,
                                           std::uint64_t index) {
    const auto occupied =
        std::count_if(group_sizes.begin(), group_sizes.end(), [](std::uint32_t size) { return size > 0; });
    if (occupied < 2) {
        return std::nullopt;
    }
    // The count and the layout are read together, so only a caller that
    // starts more workers than it counted gets here with a larger index.
    std::uint64_t position = index % processors_in_groups(group_sizes);
    for (std::size_t group = 0; group < group_sizes.size(); ++group) {
        if (position < group_sizes[group]) {
            return group;
        }
        position -= group_sizes[group];
    }
    return std::nullopt;  // unreachable: position is below the total
}

ThreadPlacement worker_placement(const ProcessorSet& processors, std::uint64_t index) {
    std::vector<std::uint32_t> sizes;
    sizes.reserve(processors.groups.size());
    for (const ProcessorGroup& group : processors.groups) {
        sizes.push_back(group.processors);
    }
    const std::optional<std::size_t> group = group_of_worker(sizes, index);
    if (!group) {
        return {};
    }
    return {true, static_cast<std::uint16_t>(*group), processors.groups[*group].mask};
}

std::uint64_t logical_processor_count() { return available_processors().count; }

}  // namespace quorlind::platform
