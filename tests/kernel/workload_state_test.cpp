#include "kernel/workload_state.h"

#include <gtest/gtest.h>

#include "workload_fixtures.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorlind {
namespace {

using testing::build;
using testing::table_contents;

bool same_state(const WorkloadState& a, const WorkloadState& b) {
    return a.carry == b.carry && a.text == b.text && table_contents(a) == table_contents(b);
}

// The published xorshift64*: the state keeps the value before the multiply.
struct XorShift64Star {
    std::uint64_t state;
    std::uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    }
};

TEST(Generator, NextWordCarriesTheMultipliedValueUnlikeXorShift64Star) {
    const std::uint64_t start = 0 ^ 0x9E3779B97F4A7C15ULL;

    std::uint64_t g = start;
    const std::uint64_t first = next_word(g);
    EXPECT_EQ(g, first);
    const std::uint64_t second = next_word(g);

    XorShift64Star published{start};
    EXPECT_EQ(published.next(), first);
    EXPECT_EQ(published.next(), 0x54C44C79F1FE9D67ULL);

    EXPECT_EQ(first, 0x0D83B3E29A21487AULL);
    EXPECT_EQ(second, 0x6BF22468CC7011DDULL);
}

TEST(Generator, SeedZeroGivesItsKnownTableTextAndCarry) {
    const WorkloadState state = build(0);

    ASSERT_EQ(state.table.size(), table_words);
    EXPECT_EQ(state.table.load(0), 0x0D83B3E29A21487AULL);
    EXPECT_EQ(state.table.load(1), 0x6BF22468CC7011DDULL);
    EXPECT_EQ(state.table.load(2), 0xB02FC9D94B6BBA92ULL);
    EXPECT_EQ(state.table.load(32767), 0x3859CF78698E1DC7ULL);

    const std::string prefix(state.text.begin(), state.text.begin() + 48);
    EXPECT_EQ(prefix, "25z4180y22e7y+1e7450x7.16563033218e4737;x8-3z64z");

    EXPECT_EQ(state.carry, 0x2152E16FD35A4AE8ULL);
}

TEST(Generator, SeedOneGivesItsKnownTableAndCarry) {
    const WorkloadState state = build(1);

    ASSERT_EQ(state.table.size(), table_words);
    EXPECT_EQ(state.table.load(0), 0x102ACEB9AF8E2597ULL);
    EXPECT_EQ(state.table.load(1), 0x2DA0F11C160A5680ULL);
    EXPECT_EQ(state.table.load(2), 0xE51842A2CCF2881CULL);
    EXPECT_EQ(state.table.load(32767), 0xE49741134A40200CULL);
    EXPECT_EQ(state.carry, 0x29754429088A5A7FULL);
}

TEST(Generator, CarryIsTheOutputAfterTheLastTextByte) {
    // 32768 steps for the table and 4096 for the text, none skipped or shared.
    std::uint64_t g = 5 ^ 0x9E3779B97F4A7C15ULL;
    for (std::size_t i = 0; i < table_words + text_bytes; ++i) {
        next_word(g);
    }
    EXPECT_EQ(build(5).carry, g);
}

TEST(Generator, GoldenRatioSeedStartsAtZeroAndStaysThere) {
    const WorkloadState state = build(0x9E3779B97F4A7C15ULL);

    ASSERT_EQ(state.table.size(), table_words);
    const std::vector<std::uint64_t> words = table_contents(state);
    EXPECT_TRUE(std::all_of(words.begin(), words.end(), [](std::uint64_t w) { return w == 0; }));
    EXPECT_TRUE(std::all_of(state.text.begin(), state.text.end(), [](std::uint8_t b) { return b == '0'; }));
    EXPECT_EQ(state.carry, 0u);
}

TEST(Generator, TextHoldsOnlyAlphabetBytesAndUsesAllOfThem) {
    for (const std::uint64_t seed : {0ULL, 1ULL, 2ULL, 63ULL, 0xFFFFFFFFFFFFFFFFULL}) {
        const WorkloadState state = build(seed);
        std::vector<bool> seen(256, false);
        for (const std::uint8_t byte : state.text) {
            ASSERT_NE(byte, 0) << "seed " << seed;
            ASSERT_NE(std::find(text_alphabet.begin(), text_alphabet.end(), byte), text_alphabet.end())
                << "seed " << seed << " byte " << int{byte};
            seen[byte] = true;
        }
        // 4096 draws from 32 entries: every distinct alphabet byte shows up.
        for (const std::uint8_t byte : text_alphabet) {
            EXPECT_TRUE(seen[byte]) << "seed " << seed << " never produced byte " << int{byte};
        }
    }
}

TEST(Generator, SameSeedGivesIdenticalStates) {
    for (const std::uint64_t seed : {0ULL, 1ULL, 7ULL, 0xFFFFFFFFFFFFFFFFULL}) {
        EXPECT_TRUE(same_state(build(seed), build(seed))) << "seed " << seed;
    }
}

TEST(Generator, DistinctSeedsGiveDistinctTablesTextsAndCarries) {
    std::vector<WorkloadState> states;
    for (std::uint64_t seed = 0; seed < 12; ++seed) {
        states.push_back(build(seed));
    }
    for (std::size_t a = 0; a < states.size(); ++a) {
        for (std::size_t b = a + 1; b < states.size(); ++b) {
            EXPECT_NE(states[a].carry, states[b].carry) << a << " vs " << b;
            EXPECT_NE(states[a].text, states[b].text) << a << " vs " << b;
            EXPECT_NE(table_contents(states[a]), table_contents(states[b])) << a << " vs " << b;
        }
    }
}

// Allocators are plain function pointers, so what they observe goes through
// file-level variables, reset by each test.
std::vector<std::size_t> requested_words;

std::unique_ptr<std::uint64_t[]> refusing_allocator(std::size_t words) {
    requested_words.push_back(words);
    return nullptr;
}

std::unique_ptr<std::uint64_t[]> recording_allocator(std::size_t words) {
    requested_words.push_back(words);
    return WordTable::allocate_from_heap(words);
}

TEST(GeneratorAllocation, RefusedTableStorageGivesTheAllocatorErrorText) {
    requested_words.clear();
    const Expected<WorkloadState> built = WorkloadState::generate(0, &refusing_allocator);

    ASSERT_FALSE(built.has_value());
    EXPECT_EQ(built.error(), "memory allocation failed because the memory allocator returned an error");
    EXPECT_EQ(requested_words, std::vector<std::size_t>{table_words});
}

TEST(GeneratorAllocation, TableStorageIsRequestedOnceForExactlyItsWords) {
    requested_words.clear();
    const Expected<WorkloadState> built = WorkloadState::generate(0, &recording_allocator);

    ASSERT_TRUE(built.has_value());
    EXPECT_EQ(requested_words, std::vector<std::size_t>{32768});
    EXPECT_TRUE(same_state(built.value(), build(0)));
}

}  // namespace
}  // namespace quorlind
