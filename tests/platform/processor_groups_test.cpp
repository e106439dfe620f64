// The plan that spreads one worker per processor over Windows' processor
// groups, on layouts no test machine has. Pure, so it runs on every system.
#include <cstdint>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/processor_groups.h"

namespace quorlind::platform {
namespace {

using Sizes = std::vector<std::uint32_t>;

// The group of every worker of a run over the layout, one per processor.
std::vector<std::optional<std::size_t>> plan(const Sizes& sizes) {
    std::vector<std::optional<std::size_t>> groups;
    for (std::uint64_t index = 0; index < processors_in_groups(sizes); ++index) {
        groups.push_back(group_of_worker(sizes, index));
    }
    return groups;
}

// Each group gets exactly its own processors' worth of workers, in group
// order: worker indices never go back to an earlier group.
void expect_groups_filled_in_order(const Sizes& sizes) {
    const auto groups = plan(sizes);
    std::vector<std::uint64_t> workers_per_group(sizes.size(), 0);
    std::size_t previous = 0;
    for (std::size_t index = 0; index < groups.size(); ++index) {
        ASSERT_TRUE(groups[index].has_value()) << "worker " << index;
        ASSERT_LT(*groups[index], sizes.size());
        EXPECT_GE(*groups[index], previous) << "worker " << index;
        previous = *groups[index];
        ++workers_per_group[*groups[index]];
    }
    EXPECT_EQ(workers_per_group, std::vector<std::uint64_t>(sizes.begin(), sizes.end()));
}

TEST(ProcessorGroupPlan, OneGroupPlacesNothing) {
    for (const Sizes& sizes : {Sizes{8}, Sizes{64}, Sizes{1}}) {
        EXPECT_EQ(processors_in_groups(sizes), sizes[0]);
        for (const auto& group : plan(sizes)) {
            EXPECT_FALSE(group.has_value());
        }
    }
    EXPECT_EQ(processors_in_groups({}), 0u);
    EXPECT_FALSE(group_of_worker({}, 0).has_value());
}

TEST(ProcessorGroupPlan, TwoFullGroupsFillTheFirstThenTheSecond) {
    const Sizes sizes{64, 64};
    EXPECT_EQ(processors_in_groups(sizes), 128u);
    expect_groups_filled_in_order(sizes);
    EXPECT_EQ(group_of_worker(sizes, 63), 0u);
    EXPECT_EQ(group_of_worker(sizes, 64), 1u);
    EXPECT_EQ(group_of_worker(sizes, 127), 1u);
}

TEST(ProcessorGroupPlan, ASmallLastGroupGetsOnlyItsOwnProcessors) {
    const Sizes sizes{64, 64, 16};
    EXPECT_EQ(processors_in_groups(sizes), 144u);
    expect_groups_filled_in_order(sizes);
    EXPECT_EQ(group_of_worker(sizes, 127), 1u);
    EXPECT_EQ(group_of_worker(sizes, 128), 2u);
    EXPECT_EQ(group_of_worker(sizes, 143), 2u);
}

TEST(ProcessorGroupPlan, UnevenNumaGroupsSplitWhereTheGroupsDo) {
    // Two NUMA nodes of 48 become two groups of 48, not one of 64 and one of 32.
    const Sizes sizes{48, 48};
    EXPECT_EQ(processors_in_groups(sizes), 96u);
    expect_groups_filled_in_order(sizes);
    EXPECT_EQ(group_of_worker(sizes, 47), 0u);
    EXPECT_EQ(group_of_worker(sizes, 48), 1u);
    EXPECT_EQ(group_of_worker(sizes, 63), 1u);
}

TEST(ProcessorGroupPlan, GroupsWithoutActiveProcessorsAreSkipped) {
    const Sizes gap{64, 0, 16};
    EXPECT_EQ(processors_in_groups(gap), 80u);
    EXPECT_EQ(group_of_worker(gap, 63), 0u);
    EXPECT_EQ(group_of_worker(gap, 64), 2u);
    EXPECT_EQ(group_of_worker(gap, 79), 2u);
    // Only one group can run anything: as with one group, nothing is placed.
    EXPECT_FALSE(group_of_worker({0, 8}, 0).has_value());
    EXPECT_FALSE(group_of_worker({8, 0}, 7).has_value());
}

TEST(ProcessorGroupPlan, WorkersBeyondTheCountStartOverAtTheFirstGroup) {
    const Sizes sizes{48, 48};
    EXPECT_EQ(group_of_worker(sizes, 96), 0u);
    EXPECT_EQ(group_of_worker(sizes, 96 + 48), 1u);
    EXPECT_EQ(group_of_worker(sizes, UINT64_MAX), 1u);  // 2^64 - 1 is 63 modulo 96
}

TEST(WorkerPlacement, CarriesTheGroupAndItsActiveProcessors) {
    // A second group whose active processors are not the lowest ones.
    const ProcessorSet processors{96, {{48, 0x0000FFFFFFFFFFFF}, {48, 0xFFFFFFFFFFFF0000}}};
    const ThreadPlacement first = worker_placement(processors, 47);
    EXPECT_TRUE(first.placed);
    EXPECT_EQ(first.group, 0u);
    EXPECT_EQ(first.processors, 0x0000FFFFFFFFFFFFu);
    const ThreadPlacement second = worker_placement(processors, 48);
    EXPECT_TRUE(second.placed);
    EXPECT_EQ(second.group, 1u);
    EXPECT_EQ(second.processors, 0xFFFFFFFFFFFF0000u);

    // What Linux and one-group Windows give: no groups, nothing placed.
    for (const std::uint64_t index : {0u, 7u, 8u}) {
        EXPECT_FALSE(worker_placement(ProcessorSet{8, {}}, index).placed);
    }
}

}  // namespace
}  // namespace quorlind::platform
