#include "util/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace quorlind::bench {
namespace {

TEST(NumberFormat, GroupsRatesClocksAndChecksums) {
    EXPECT_EQ(group_thousands(999), "999");
    EXPECT_EQ(group_thousands(12300000), "12,300,000");
    EXPECT_EQ(group_thousands(18446744073709551615ull), "18,446,744,073,709,551,615");
    EXPECT_EQ(format_rate(12345678.6), "12,345,679");
    EXPECT_EQ(format_rate(42.126), "42.13");
    EXPECT_EQ(format_rate(std::nan("")), "-");
    EXPECT_EQ(format_clock(59.9), "0:59");
    EXPECT_EQ(format_clock(3725.0), "1:02:05");
    EXPECT_EQ(format_clock(-3.0), "0:00");
    EXPECT_EQ(format_hex64(0xdeadbeefull), "0x00000000deadbeef");
}

TEST(NumberFormat, ExactNumbersReadBackUnchanged) {
    for (double value : {0.0, 0.1, 0.3, 1.0 / 3.0, 12299994.29991387, 3e7, 5e-324, 1e300}) {
        EXPECT_EQ(std::strtod(format_exact(value).c_str(), nullptr), value) << format_exact(value);
    }
    EXPECT_EQ(format_exact(3e7), "30000000");
    EXPECT_EQ(format_exact(0.25), "0.25");
}

TEST(NumberFormat, CacheSizesAndSignedChanges) {
    EXPECT_EQ(format_bytes(512), "512 bytes");
    EXPECT_EQ(format_bytes(std::uint64_t{48} * 1024), "48 KiB");
    EXPECT_EQ(format_bytes(std::uint64_t{1280} * 1024), "1.25 MiB");
    EXPECT_EQ(format_bytes(32ull << 20), "32 MiB");
    EXPECT_EQ(format_bytes(3ull << 30), "3 GiB");
    EXPECT_EQ(format_signed_percent(-7.84), "-7.8 %");
    EXPECT_EQ(format_signed_percent(3.26), "+3.3 %");
    EXPECT_EQ(format_signed_percent(-0.04), "0.0 %");
}

TEST(NumberFormat, SecondsExactAsChosenOrRoundedAsMeasured) {
    EXPECT_EQ(format_seconds_exact(0.1), "0.1 s");
    EXPECT_EQ(format_seconds_exact(120.0), "120 s");
    EXPECT_EQ(format_seconds_rounded(7.94), "7.9 s");
    EXPECT_EQ(format_seconds_rounded(9.96), "10.0 s");  // rounds up, below the cut
    EXPECT_EQ(format_seconds_rounded(10.0), "10 s");
    EXPECT_EQ(format_count(1, "run", "runs"), "1 run");
    EXPECT_EQ(format_count(0, "run", "runs"), "0 runs");
}

}  // namespace
}  // namespace quorlind::bench
