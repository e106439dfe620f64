#include <gtest/gtest.h>

#include "common/internal_failure.h"
#include "lib/timing.h"

namespace quorlind {
namespace {

TEST(TimingCell, StartsEmptyAndGivesBackWhatWasStored) {
    TimingCell cell;
    EXPECT_FALSE(cell.read());
    const Timing timing{{1, 2}, {3, 4}, {5, 6}};
    cell.store(timing);
    ASSERT_TRUE(cell.read());
    EXPECT_EQ(*cell.read(), timing);
}

TEST(TimingCell, SecondStoreIsAnInternalFailureNamingTheRejectedTiming) {
    TimingCell cell;
    cell.store({{1, 2}, {3, 4}, {5, 6}});
    try {
        cell.store({{7, 8}, {9, 10}, {11, 12}});
        FAIL() << "a second store was accepted";
    } catch (const InternalFailure& failure) {
        const std::string text = failure.what();
        EXPECT_EQ(text.rfind("timing is initialized exactly once", 0), 0u) << text;
        EXPECT_NE(text.find("Timing"), std::string::npos);
        EXPECT_NE(text.find("warm_end"), std::string::npos);
        EXPECT_NE(text.find("11"), std::string::npos);
        EXPECT_EQ(text,
                  "timing is initialized exactly once: "
                  "Timing(start 7.000000008 s, warm_end 9.000000010 s, end 11.000000012 s)");
    }
    EXPECT_EQ(cell.read()->start, (ClockInstant{1, 2}));
}

}  // namespace
}  // namespace quorlind
