#include "kernel/kernel.h"

#include <gtest/gtest.h>

#include "workload_fixtures.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "common/internal_failure.h"
#include "kernel/workload_state.h"

namespace quorlind {
namespace {

using testing::build;
using testing::table_contents;

// The result of the `calls`-th call on a fresh state of `seed`.
std::uint64_t result_after(std::uint64_t seed, int calls) {
    WorkloadState state = build(seed);
    std::uint64_t result = 0;
    for (int i = 0; i < calls; ++i) {
        result = run_kernel(state);
    }
    return result;
}

TEST(Kernel, FirstTwoCallsOnSeedZeroGiveKnownResultsAndLeaveThemInCarry) {
    WorkloadState state = build(0);

    EXPECT_EQ(run_kernel(state), 0x2C1B8D85CDD1E98DULL);
    EXPECT_EQ(state.carry, 0x2C1B8D85CDD1E98DULL);
    EXPECT_EQ(run_kernel(state), 0x3E9E98D168107827ULL);
    EXPECT_EQ(state.carry, 0x3E9E98D168107827ULL);
}

TEST(Kernel, FirstTwoCallsOnSeedOneGiveKnownResultsAndLeaveThemInCarry) {
    WorkloadState state = build(1);

    EXPECT_EQ(run_kernel(state), 0xFCF7653045054D5EULL);
    EXPECT_EQ(state.carry, 0xFCF7653045054D5EULL);
    EXPECT_EQ(run_kernel(state), 0x397EB24BFA0BB660ULL);
    EXPECT_EQ(state.carry, 0x397EB24BFA0BB660ULL);
}

TEST(Kernel, WholeBatchesGiveKnownChecksums) {
    // A worker's checksum is its last result; a run's is the XOR over workers.
    const std::uint64_t seed0_one_batch = result_after(0, 8);
    const std::uint64_t seed0_two_batches = result_after(0, 16);
    const std::uint64_t seed1_one_batch = result_after(1, 8);

    EXPECT_EQ(seed0_one_batch, 0x070292832EC5C131ULL);
    EXPECT_EQ(seed0_two_batches, 0xC09B3FA23162B565ULL);
    EXPECT_EQ(seed1_one_batch, 0x58454E963F31C1F1ULL);
    EXPECT_EQ(seed0_one_batch ^ seed1_one_batch, 0x5F47DC1511F400C0ULL);
}

TEST(Kernel, StatesOfTheSameSeedGiveTheSameResultSequence) {
    WorkloadState a = build(3);
    WorkloadState b = build(3);
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(run_kernel(a), run_kernel(b)) << "call " << i;
    }
    EXPECT_EQ(table_contents(a), table_contents(b));
}

TEST(Kernel, CallsOnOneStateNeverChangeAnother) {
    WorkloadState worked = build(0);
    WorkloadState bystander = build(0);
    const WorkloadState pristine = build(0);

    for (int i = 0; i < 5; ++i) {
        run_kernel(worked);
    }

    EXPECT_EQ(bystander.carry, pristine.carry);
    EXPECT_EQ(bystander.text, pristine.text);
    EXPECT_EQ(table_contents(bystander), table_contents(pristine));
    EXPECT_EQ(run_kernel(bystander), 0x2C1B8D85CDD1E98DULL);
}

TEST(Kernel, CallsRewriteTheTableButNeverTheText) {
    WorkloadState state = build(0);
    const WorkloadState pristine = build(0);

    run_kernel(state);

    EXPECT_EQ(state.text, pristine.text);
    EXPECT_NE(table_contents(state), table_contents(pristine));
    EXPECT_EQ(state.table.size(), table_words);
}

WordTable table_of(std::size_t capacity, std::size_t filled) {
    WordTable table;
    if (!table.reserve_exactly(capacity, &WordTable::allocate_from_heap)) {
        throw std::runtime_error("allocation failed");
    }
    for (std::size_t i = 0; i < filled; ++i) {
        table.push_back(100 + i);
    }
    return table;
}

TEST(WordTableBounds, LoadAndStoreAtOrPastTheEndThrowInternalFailure) {
    WordTable table = table_of(4, 4);

    EXPECT_EQ(table.load(3), 103u);
    EXPECT_THROW(table.load(4), InternalFailure);
    EXPECT_THROW(table.load(static_cast<std::size_t>(-1)), InternalFailure);
    EXPECT_THROW(table.store(4, 7), InternalFailure);
    EXPECT_THROW(table.store(32768, 7), InternalFailure);

    table.store(3, 7);
    EXPECT_EQ(table.load(3), 7u);
}

TEST(WordTableBounds, IndexBeyondTheFilledPartThrowsEvenWithinTheStorage) {
    WordTable table = table_of(8, 2);

    EXPECT_EQ(table.load(1), 101u);
    EXPECT_THROW(table.load(2), InternalFailure);
    EXPECT_THROW(table.store(2, 0), InternalFailure);
    try {
        table.load(5);
        FAIL() << "index 5 of 2 words was read";
    } catch (const InternalFailure& failure) {
        // The filled size, not the storage, is what the index missed.
        EXPECT_STREQ(failure.what(), "word table index 5 is out of range for its 2 words");
    }
}

TEST(WordTableBounds, EmptyTableRefusesEveryIndex) {
    WordTable never_reserved;
    EXPECT_THROW(never_reserved.load(0), InternalFailure);
    EXPECT_THROW(never_reserved.store(0, 1), InternalFailure);
}

TEST(WordTableBounds, AppendingPastTheStorageThrowsInternalFailure) {
    WordTable table = table_of(2, 2);
    EXPECT_THROW(table.push_back(1), InternalFailure);
    EXPECT_EQ(table.size(), 2u);
}

TEST(WordTableBounds, WalkOverAShortTableThrowsInsteadOfReadingPastIt) {
    WordTable table = table_of(16, 16);
    // The first index is the accumulator's low 15 bits: 0x7FFF is far past 16.
    EXPECT_THROW(detail::walk_table(0x7FFF, table), InternalFailure);
}

}  // namespace
}  // namespace quorlind
