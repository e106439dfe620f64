#pragma once

// Checks on a summary that several suites make the same way.

#include <gtest/gtest.h>

#include "quorlind.h"

namespace quorlind::testing {

// A run that measured nothing: every measured field 0, no samples, no variation.
inline void expect_nothing_measured(const QuorlindRunSummary& summary) {
    EXPECT_EQ(summary.ops_per_second, 0.0);
    EXPECT_EQ(summary.measured_seconds, 0.0);
    EXPECT_EQ(summary.variation_percent, 0.0);
    EXPECT_EQ(summary.total_operations, 0u);
    EXPECT_EQ(summary.checksum, 0u);
    EXPECT_EQ(summary.sample_count, 0u);
    EXPECT_EQ(summary.unstable, 0u);
    EXPECT_EQ(summary.has_variation, 0u);
}

}  // namespace quorlind::testing
