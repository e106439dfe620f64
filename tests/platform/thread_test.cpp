#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "../support/thread_probe.h"
#include "platform/platform.h"

namespace quorlind::platform {
namespace {

constexpr std::size_t two_mib = std::size_t{2} * 1024 * 1024;

TEST(PlatformThread, NormalAndAbnormalEndsAreToldApart) {
    auto normal = start_thread("quorlind-0", two_mib, [] {});
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal.value().join(), ThreadEnd::normal);

    auto abnormal = start_thread("quorlind-1", two_mib, [] { throw std::runtime_error("broken invariant"); });
    ASSERT_TRUE(abnormal);
    EXPECT_EQ(abnormal.value().join(), ThreadEnd::abnormal);

    auto odd = start_thread("quorlind-2", two_mib, [] { throw 42; });
    EXPECT_EQ(odd.value().join(), ThreadEnd::abnormal);
}

TEST(PlatformThread, RunsWithTheRequestedStack) {
    std::size_t stack = 0;
    auto thread = start_thread("quorlind-3", two_mib, [&] { stack = testing::current_thread_stack_bytes(); });
    thread.value().join();
    // At least what was asked: glibc may hand a larger cached stack back out.
    EXPECT_GE(stack, two_mib);
}

TEST(PlatformThread, CarriesItsNameWhereTheSystemShowsNames) {
    std::string name = "unset";
    auto thread = start_thread("quorlind-12", two_mib, [&] { name = testing::current_thread_name(); });
    thread.value().join();
    if (name.empty()) {
        GTEST_SKIP() << "this system does not expose thread names";
    }
    EXPECT_EQ(name, "quorlind-12");
}

TEST(PlatformThread, DestroyingAJoinableHandleJoinsIt) {
    std::atomic<bool> finished{false};
    {
        auto thread = start_thread("quorlind-4", two_mib, [&] {
            sleep_for(0, 20000000);
            finished = true;
        });
        ASSERT_TRUE(thread);
    }
    EXPECT_TRUE(finished.load());
}

TEST(PlatformThread, BodyIsReleasedOnItsOwnThread) {
    auto token = std::make_shared<int>(7);
    std::weak_ptr<int> watch = token;
    auto thread = start_thread("quorlind-5", two_mib, [token = std::move(token)] {});
    thread.value().join();
    EXPECT_TRUE(watch.expired());
}

TEST(PlatformProcessors, CountIsKnownHere) { EXPECT_GE(logical_processor_count(), 1u); }

}  // namespace
}  // namespace quorlind::platform
