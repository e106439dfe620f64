#include "kernel/kernel.h"
#include "reference/reference_kernel.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <ostream>
#include <random>
#include <string_view>
#include <vector>

namespace quorlind {

// Failure messages name the mode instead of printing a raw byte.
static void PrintTo(ScanMode mode, std::ostream* out) {
    constexpr const char* names[] = {"Idle", "Number", "Point", "Fraction"};
    *out << names[static_cast<int>(mode) & 3];
}

namespace {

using detail::scan_text;
using detail::ScanResult;

ScanResult scan(std::uint64_t acc, std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return scan_text(acc, std::span<const std::uint8_t>(bytes, text.size()));
}

void expect_scan(std::uint64_t acc, std::string_view text, std::uint64_t expected_acc,
                 ScanMode expected_mode) {
    const ScanResult result = scan(acc, text);
    EXPECT_EQ(result.acc, expected_acc) << "acc " << acc << ", text \"" << text << "\"";
    EXPECT_EQ(result.mode, expected_mode) << "acc " << acc << ", text \"" << text << "\"";
}

TEST(Scan, NumbersAndMarksFromIdleGiveTheirKnownValues) {
    expect_scan(0, "12", 12, ScanMode::number);
    expect_scan(0, "+7", 437, ScanMode::number);
    expect_scan(0, "x", 120, ScanMode::idle);
    expect_scan(0, "e", 101, ScanMode::idle);
    expect_scan(0, "1+", 0x200000000000002BULL, ScanMode::idle);
    expect_scan(0, "1.e", 117, ScanMode::idle);
    expect_scan(0, "1,5E7\n", 13829, ScanMode::idle);
}

TEST(Scan, DigitInFractionGoesBackToNumber) {
    expect_scan(0, "1.23", 12823, ScanMode::number);
    // So a second point shifts again instead of falling to DEFAULT.
    expect_scan(0, "1.2.3", 0x800000000000058FULL, ScanMode::number);
}

TEST(Scan, ExponentActsInFractionAndNumberOnly) {
    expect_scan(0, "1.2e", 1379, ScanMode::idle);
    expect_scan(4, "1.5e", 52582, ScanMode::idle);
}

TEST(Scan, SignFromIdleThenSeparatorFolds) { expect_scan(8, "-3;", 373, ScanMode::idle); }

TEST(Scan, StartingModeIsTheAccumulatorsLowTwoBits) {
    expect_scan(2, "9", 29, ScanMode::fraction);
    expect_scan(3, "9", 39, ScanMode::number);
}

TEST(Scan, EmptyTextLeavesAccumulatorAndStartingMode) {
    expect_scan(0x1234565, "", 0x1234565, ScanMode::number);
}

TEST(Scan, BytesOutsideTheAlphabetTakeDefaultInEveryMode) {
    for (const std::uint8_t byte : {std::uint8_t{0x00}, std::uint8_t{'\t'}, std::uint8_t{0xFF}}) {
        for (std::uint64_t mode = 0; mode < 4; ++mode) {
            const std::uint64_t acc = 0xF00DFACE12345670ULL | mode;
            const std::uint8_t text[] = {byte};
            const ScanResult result = scan_text(acc, text);
            EXPECT_EQ(result.acc, std::rotl(acc, 61) ^ byte) << "byte " << int{byte} << ", mode " << mode;
            EXPECT_EQ(result.mode, ScanMode::idle) << "byte " << int{byte} << ", mode " << mode;
        }
    }
}

// The oracle is the kernel written the obvious way, a switch per byte.
ScanResult reference_scan(std::uint64_t acc, const std::vector<std::uint8_t>& text) {
    return reference::scan_text(acc, text);
}

TEST(Scan, EveryByteInEveryModeMatchesTheReference) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        for (std::uint64_t mode = 0; mode < 4; ++mode) {
            const std::uint64_t acc = 0x0123456789ABCDE0ULL | mode;
            const std::vector<std::uint8_t> text = {static_cast<std::uint8_t>(byte)};
            const ScanResult expected = reference_scan(acc, text);
            const ScanResult actual = scan_text(acc, text);
            EXPECT_EQ(actual.acc, expected.acc) << "byte " << byte << ", mode " << mode;
            EXPECT_EQ(actual.mode, expected.mode) << "byte " << byte << ", mode " << mode;
        }
    }
}

TEST(Scan, RandomTextsMatchTheReference) {
    // mt19937_64's output sequence is fixed by the standard; only its raw
    // words are used, so the texts are the same on every platform.
    std::mt19937_64 random(20240611);
    for (int round = 0; round < 400; ++round) {
        const std::size_t length = static_cast<std::size_t>(random() % 300);
        const bool number_like = round % 2 == 0;  // half the rounds dwell in numbers
        std::vector<std::uint8_t> text(length);
        for (std::uint8_t& byte : text) {
            const std::uint64_t word = random();
            byte = number_like ? static_cast<std::uint8_t>("0123456789 +-.,eE;x\n"[word % 20])
                               : static_cast<std::uint8_t>(word & 0xFF);
        }
        const std::uint64_t acc = random();
        const ScanResult expected = reference_scan(acc, text);
        const ScanResult actual = scan_text(acc, text);
        ASSERT_EQ(actual.acc, expected.acc) << "round " << round;
        ASSERT_EQ(actual.mode, expected.mode) << "round " << round;
    }
}

}  // namespace
}  // namespace quorlind
