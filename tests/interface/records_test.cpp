#include "quorlind.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Reads a little-endian field straight out of a record's bytes, so that the
// checks below hold the layout itself, not the compiler's idea of it.
template <class Record>
std::uint64_t read_le(const Record& record, std::size_t offset, std::size_t width) {
    unsigned char bytes[sizeof(Record)];
    std::memcpy(bytes, &record, sizeof(Record));
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= std::uint64_t{bytes[offset + i]} << (8 * i);
    }
    return value;
}

std::uint64_t bits_of(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(Records, RunConfigFieldsSitAtTheirByteOffsets) {
    EXPECT_EQ(sizeof(QuorlindRunConfig), 32u);
    EXPECT_EQ(alignof(QuorlindRunConfig), 8u);

    const QuorlindRunConfig config{0x11121314u, 0x21222324u, 0x31323334u, 0x41424344u, 1.5, -2.25};
    EXPECT_EQ(read_le(config, 0, 4), 0x11121314u);
    EXPECT_EQ(read_le(config, 4, 4), 0x21222324u);
    EXPECT_EQ(read_le(config, 8, 4), 0x31323334u);
    EXPECT_EQ(read_le(config, 12, 4), 0x41424344u);
    EXPECT_EQ(read_le(config, 16, 8), bits_of(1.5));
    EXPECT_EQ(read_le(config, 24, 8), bits_of(-2.25));
}

TEST(Records, RunSummaryFieldsSitAtTheirByteOffsets) {
    EXPECT_EQ(sizeof(QuorlindRunSummary), 88u);
    EXPECT_EQ(alignof(QuorlindRunSummary), 8u);

    QuorlindRunSummary summary{};
    summary.abi_version = 0x01020304u;
    summary.status = 0x05060708u;
    summary.benchmark = 0x090A0B0Cu;
    summary.workers = 0x0D0E0F10u;
    summary.ops_per_second = 1.0;
    summary.warmup_seconds = 2.0;
    summary.measurement_seconds = 3.0;
    summary.measured_seconds = 4.0;
    summary.variation_percent = 5.0;
    summary.total_operations = 0x6162636465666768ULL;
    summary.checksum = 0x7172737475767778ULL;
    summary.sample_count = 0x8182838485868788ULL;
    summary.unstable = 0x91929394u;
    summary.has_variation = 0xA1A2A3A4u;

    EXPECT_EQ(read_le(summary, 0, 4), 0x01020304u);
    EXPECT_EQ(read_le(summary, 4, 4), 0x05060708u);
    EXPECT_EQ(read_le(summary, 8, 4), 0x090A0B0Cu);
    EXPECT_EQ(read_le(summary, 12, 4), 0x0D0E0F10u);
    EXPECT_EQ(read_le(summary, 16, 8), bits_of(1.0));
    EXPECT_EQ(read_le(summary, 24, 8), bits_of(2.0));
    EXPECT_EQ(read_le(summary, 32, 8), bits_of(3.0));
    EXPECT_EQ(read_le(summary, 40, 8), bits_of(4.0));
    EXPECT_EQ(read_le(summary, 48, 8), bits_of(5.0));
    EXPECT_EQ(read_le(summary, 56, 8), 0x6162636465666768ULL);
    EXPECT_EQ(read_le(summary, 64, 8), 0x7172737475767778ULL);
    EXPECT_EQ(read_le(summary, 72, 8), 0x8182838485868788ULL);
    EXPECT_EQ(read_le(summary, 80, 4), 0x91929394u);
    EXPECT_EQ(read_le(summary, 84, 4), 0xA1A2A3A4u);
}

TEST(Records, IntervalSampleFieldsSitAtTheirByteOffsets) {
    EXPECT_EQ(sizeof(QuorlindIntervalSample), 32u);
    EXPECT_EQ(alignof(QuorlindIntervalSample), 8u);

    const QuorlindIntervalSample sample{1.25, 0.5, 0x0102030405060708ULL, 99.0};
    EXPECT_EQ(read_le(sample, 0, 8), bits_of(1.25));
    EXPECT_EQ(read_le(sample, 8, 8), bits_of(0.5));
    EXPECT_EQ(read_le(sample, 16, 8), 0x0102030405060708ULL);
    EXPECT_EQ(read_le(sample, 24, 8), bits_of(99.0));
}

TEST(Records, ProgressEventFieldsSitAtTheirByteOffsets) {
    EXPECT_EQ(sizeof(QuorlindProgressEvent), 40u);
    EXPECT_EQ(alignof(QuorlindProgressEvent), 8u);

    const QuorlindProgressEvent event{0x0A0B0C0Du, 0x1A1B1C1Du, 0.75, 6.5, 60.0, 0xF0E0D0C0B0A09080ULL};
    EXPECT_EQ(read_le(event, 0, 4), 0x0A0B0C0Du);
    EXPECT_EQ(read_le(event, 4, 4), 0x1A1B1C1Du);
    EXPECT_EQ(read_le(event, 8, 8), bits_of(0.75));
    EXPECT_EQ(read_le(event, 16, 8), bits_of(6.5));
    EXPECT_EQ(read_le(event, 24, 8), bits_of(60.0));
    EXPECT_EQ(read_le(event, 32, 8), 0xF0E0D0C0B0A09080ULL);
}

TEST(Records, CodesHaveTheirFixedValues) {
    EXPECT_EQ(QUORLIND_ABI_VERSION, 1u);
    EXPECT_EQ(QUORLIND_CONFIG_SIZE, 32u);
    EXPECT_EQ(QUORLIND_BENCHMARK_SINGLE, 1u);
    EXPECT_EQ(QUORLIND_BENCHMARK_PER_CPU, 2u);
    EXPECT_EQ(QUORLIND_STATUS_COMPLETED, 0u);
    EXPECT_EQ(QUORLIND_STATUS_CANCELLED, 1u);
    EXPECT_EQ(QUORLIND_STATUS_FAILED, 2u);
    EXPECT_EQ(QUORLIND_PHASE_WARMUP, 1u);
    EXPECT_EQ(QUORLIND_PHASE_MEASUREMENT, 2u);
    EXPECT_EQ(QUORLIND_PHASE_COMPLETED, 3u);
    EXPECT_EQ(QUORLIND_PHASE_CANCELLED, 4u);
    EXPECT_EQ(QUORLIND_PHASE_FAILED, 5u);
}

TEST(DefaultConfig, WritesExactlyTheDefaultBytes) {
    const unsigned char expected[32] = {
        0x01, 0x00, 0x00, 0x00,                          // abi_version 1
        0x20, 0x00, 0x00, 0x00,                          // struct_size 32
        0x01, 0x00, 0x00, 0x00,                          // benchmark 1
        0x00, 0x00, 0x00, 0x00,                          // reserved
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5E, 0x40,  // 120.0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4E, 0x40,  // 60.0
    };

    // Surrounded by guard bytes: the call writes all 32 bytes and no more.
    alignas(8) unsigned char buffer[48];
    std::memset(buffer, 0xAB, sizeof buffer);
    auto* config = reinterpret_cast<QuorlindRunConfig*>(buffer + 8);

    EXPECT_EQ(quorlind_default_config(config), 1);
    EXPECT_EQ(std::memcmp(buffer + 8, expected, sizeof expected), 0);
    for (std::size_t i = 0; i < sizeof buffer; ++i) {
        if (i < 8 || i >= 40) {
            EXPECT_EQ(buffer[i], 0xAB) << "guard byte " << i;
        }
    }
}

TEST(DefaultConfig, NullConfigReturnsZero) { EXPECT_EQ(quorlind_default_config(nullptr), 0); }

TEST(Versions, AbiVersionIsOne) {
    EXPECT_EQ(quorlind_abi_version(), 1u);
    EXPECT_EQ(quorlind_abi_version(), QUORLIND_ABI_VERSION);
}

TEST(Versions, VersionTextIsOneStaticString) {
    const char* first = quorlind_version();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::string(first), "0.0.2");
    EXPECT_EQ(std::string(first), QUORLIND_VERSION_STRING);
    EXPECT_EQ(quorlind_version(), first);
    EXPECT_EQ(quorlind_version(), first);
}

}  // namespace
