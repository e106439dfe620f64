// The Linux side of the platform layer: the system's own error texts and the
// processor count that follows the affinity mask.
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <sched.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace quorlind::platform {
namespace {

TEST(PlatformErrors, SystemMessageIsFollowedByTheCode) {
    EXPECT_EQ(os_error_text(EAGAIN), "Resource temporarily unavailable (os error 11)");
    EXPECT_EQ(os_error_text(EINVAL), "Invalid argument (os error 22)");
    EXPECT_EQ(os_error_text(123456), "Unknown error 123456 (os error 123456)");
}

TEST(PlatformErrors, RefusedThreadCarriesTheSystemTextAndNeverRunsItsBody) {
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    bool ran = false;
    // Far below the least stack the system accepts.
    auto thread = start_thread("quorlind-0", 1, [&ran, token = std::move(token)] { ran = true; });
    ASSERT_FALSE(thread);
    EXPECT_EQ(thread.error(), "Invalid argument (os error 22)");
    EXPECT_FALSE(ran);
    EXPECT_TRUE(watch.expired()) << "the body was not released";
}

std::vector<int> allowed_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &set)) {
                cpus.push_back(cpu);
            }
        }
    }
    return cpus;
}

TEST(PlatformProcessors, CountFollowsTheAffinityMask) {
    const std::vector<int> cpus = allowed_cpus();
    if (cpus.empty()) {
        GTEST_SKIP() << "the affinity mask cannot be read with a set of " << CPU_SETSIZE << " CPUs";
    }
    EXPECT_EQ(logical_processor_count(), cpus.size());
    // Linux schedules a thread over its whole mask: there is nothing to place.
    EXPECT_TRUE(available_processors().groups.empty());
    if (cpus.size() < 2) {
        GTEST_SKIP() << "only one CPU to run on: the mask cannot be narrowed";
    }
    // A thread of its own, so the test process's mask stays as it was.
    std::vector<std::uint64_t> counts;
    std::thread([&] {
        for (std::size_t allowed = 1; allowed <= 2; ++allowed) {
            cpu_set_t narrowed;
            CPU_ZERO(&narrowed);
            for (std::size_t i = 0; i < allowed; ++i) {
                CPU_SET(cpus[i], &narrowed);
            }
            if (sched_setaffinity(0, sizeof narrowed, &narrowed) != 0) {
                return;
            }
            counts.push_back(logical_processor_count());
        }
    }).join();
    EXPECT_EQ(counts, (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(logical_processor_count(), cpus.size());
}

}  // namespace
}  // namespace quorlind::platform
