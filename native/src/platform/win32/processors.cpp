#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "platform/processor_groups.h"

namespace quorlind::platform {

namespace {

// The active processors of every group, in group order; empty if the system
// cannot say.
std::vector<ProcessorGroup> active_groups() {
    DWORD bytes = 0;
    if (GetLogicalProcessorInformationEx(RelationGroup, nullptr, &bytes) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        bytes < sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX)) {
        return {};
    }
    // Whole words, so the record is aligned for its 64-bit masks.
    std::vector<std::uint64_t> buffer((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    auto* info = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
    if (!GetLogicalProcessorInformationEx(RelationGroup, info, &bytes) ||
        info->Relationship != RelationGroup) {
        return {};
    }
    const PROCESSOR_GROUP_INFO* group_info = info->Group.GroupInfo;
    std::vector<ProcessorGroup> groups;
    groups.reserve(info->Group.ActiveGroupCount);
    for (WORD group = 0; group < info->Group.ActiveGroupCount; ++group) {
        groups.push_back({group_info[group].ActiveProcessorCount, group_info[group].ActiveProcessorMask});
    }
    return groups;
}

}  // namespace

// One group is counted by GetSystemInfo, as it always was. With more,
// GetSystemInfo sees only the calling thread's group; the sum over the
// groups is what GetActiveProcessorCount(ALL_PROCESSOR_GROUPS) gives, taken
// from the same reading as the masks that place the workers.
ProcessorSet available_processors() {
    std::vector<ProcessorGroup> groups = active_groups();
    if (groups.size() > 1) {
        std::vector<std::uint32_t> sizes;
        sizes.reserve(groups.size());
        for (const ProcessorGroup& group : groups) {
            sizes.push_back(group.processors);
        }
        return {processors_in_groups(sizes), std::move(groups)};
    }
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return {info.dwNumberOfProcessors, {}};
}

}  // namespace quorlind::platform
