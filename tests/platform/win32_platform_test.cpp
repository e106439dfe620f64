// The Windows side of the platform layer: the system's own error texts, as
// FormatMessage gives them, and a refused thread start.
#include <cstdint>
#include <memory>
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quorlind::platform
