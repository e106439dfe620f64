// The Windows side of the platform layer: the system's own error texts, as
// FormatMessage gives them, refused thread starts, the processor count and
// the placement of threads in processor groups.
#include <cstdint>
#include <memory>
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../support/thread_probe.h"
#include "platform/platform.h"

namespace quorlind::platform {
namespace {

using ::testing::AnyOf;
using ::testing::Eq;

// Windows' wording, or Wine's shorter one, then the code.
const auto not_enough_memory =
    AnyOf(Eq("Not enough memory resources are available to process this command. (os error 8)"),
          Eq("Not enough memory. (os error 8)"));

TEST(PlatformErrors, SystemMessageIsFollowedByTheCode) {
    EXPECT_THAT(os_error_text(ERROR_ACCESS_DENIED),
                AnyOf(Eq("Access is denied. (os error 5)"), Eq("Access denied. (os error 5)")));
    EXPECT_THAT(os_error_text(ERROR_NOT_ENOUGH_MEMORY), not_enough_memory);
    // A code the system has no message for.
    EXPECT_EQ(os_error_text(0x2FFFFFFF), "unknown error (os error 805306367)");
}

TEST(PlatformErrors, RefusedThreadCarriesTheSystemTextAndNeverRunsItsBody) {
    // A stack reservation larger than the address space.
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    bool ran = false;
    auto thread =
        start_thread("quorlind-0", std::size_t{1} << 62, [&ran, token = std::move(token)] { ran = true; });
    ASSERT_FALSE(thread);
    EXPECT_THAT(thread.error(), not_enough_memory);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(watch.expired()) << "the body was not released";
}

TEST(PlatformErrors, RefusedPlacementFailsTheStartAndNeverRunsItsBody) {
    // No processor at all, and a group beyond the machine's.
    const WORD groups = GetActiveProcessorGroupCount();
    for (const ThreadPlacement placement : {ThreadPlacement{true, 0, 0}, ThreadPlacement{true, groups, 1}}) {
        auto token = std::make_shared<int>(0);
        std::weak_ptr<int> watch = token;
        bool ran = false;
        auto thread = start_thread(
            "quorlind-0", std::size_t{2} << 20, [&ran, token = std::move(token)] { ran = true; }, placement);
        ASSERT_FALSE(thread) << "group " << placement.group;
        EXPECT_THAT(thread.error(), AnyOf(Eq("The parameter is incorrect. (os error 87)"),
                                          Eq("Invalid parameter. (os error 87)")));
        EXPECT_FALSE(ran);
        EXPECT_TRUE(watch.expired()) << "the body was not released";
    }
}

TEST(PlatformProcessors, OneGroupIsCountedAsGetSystemInfoAndNothingIsPlaced) {
    const ProcessorSet processors = available_processors();
    if (GetActiveProcessorGroupCount() > 1) {
        EXPECT_EQ(processors.count, GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
        EXPECT_EQ(processors.groups.size(), GetActiveProcessorGroupCount());
        GTEST_SKIP() << "several processor groups here: the one-group path cannot be seen";
    }
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_EQ(processors.count, info.dwNumberOfProcessors);
    EXPECT_EQ(logical_processor_count(), info.dwNumberOfProcessors);
    EXPECT_TRUE(processors.groups.empty());
    for (std::uint64_t index = 0; index <= processors.count; ++index) {
        EXPECT_FALSE(worker_placement(processors, index).placed) << "worker " << index;
    }
}

TEST(PlatformThread, UnplacedThreadRunsWhereTheProcessMay) {
    DWORD_PTR process_mask = 0;
    DWORD_PTR system_mask = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask));
    GROUP_AFFINITY starter{};
    ASSERT_TRUE(GetThreadGroupAffinity(GetCurrentThread(), &starter));

    std::string seen;
    auto thread = start_thread("quorlind-6", std::size_t{2} << 20,
                               [&] { seen = testing::current_thread_processors(); });
    ASSERT_TRUE(thread);
    thread.value().join();
    EXPECT_EQ(seen, "group " + std::to_string(starter.Group) + " mask " + std::to_string(process_mask));
}

TEST(PlatformThread, PlacedThreadIsInItsGroupBeforeItsBodyRuns) {
    GROUP_AFFINITY starter{};
    ASSERT_TRUE(GetThreadGroupAffinity(GetCurrentThread(), &starter));
    // The lowest processor the process may use, so that the placement differs
    // from the default wherever there are two.
    const std::uint64_t lowest = starter.Mask & (~starter.Mask + 1);

    std::string seen;
    auto thread = start_thread(
        "quorlind-7", std::size_t{2} << 20, [&] { seen = testing::current_thread_processors(); },
        ThreadPlacement{true, starter.Group, lowest});
    ASSERT_TRUE(thread) << thread.error();
    thread.value().join();
    EXPECT_EQ(seen, "group " + std::to_string(starter.Group) + " mask " + std::to_string(lowest));
}

}  // namespace
}  // namespace quorlind::platform
