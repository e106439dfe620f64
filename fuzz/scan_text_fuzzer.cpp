// The kernel's text scan over arbitrary bytes, from all four starting modes,
// against a plain reference: one switch on the mode and one on the byte's
// class, written for clarity rather than speed. The production scan packs its
// transitions into a table, so any byte value the table gets wrong shows up
// here as a difference.
//
// Input: up to 8 bytes of starting accumulator (little-endian), then the text.

#include <bit>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "kernel/kernel.h"

namespace {

using quorlind::ScanMode;
using quorlind::detail::ScanResult;

enum class CharClass { Digit, Separator, Sign, PointMark, Exponent, Other };

CharClass class_of(std::uint8_t byte) {
    switch (byte) {
    case '0': case '1': case '2': case '3': case '4':
    case '5': case '6': case '7': case '8': case '9':
        return CharClass::Digit;
    case '\n': case ' ': case ';':
        return CharClass::Separator;
    case '+': case '-':
        return CharClass::Sign;
    case ',': case '.':
        return CharClass::PointMark;
    case 'E': case 'e':
        return CharClass::Exponent;
    default:
        return CharClass::Other;
    }
}

ScanResult reference_scan(std::uint64_t acc, std::span<const std::uint8_t> text) {
    ScanMode mode = static_cast<ScanMode>(acc & 3);
    for (const std::uint8_t byte : text) {
        const std::uint64_t b = byte;
        const CharClass cls = class_of(byte);
        const auto fallback = [&] {
            acc = std::rotl(acc, 61) ^ b;
            mode = ScanMode::Idle;
        };
        if (cls == CharClass::Digit) {
            acc = acc * 10 + (b - 0x30);
            mode = mode == ScanMode::Point ? ScanMode::Fraction : ScanMode::Number;
            continue;
        }
        if (cls == CharClass::Separator) {
            acc ^= acc >> 11;
            mode = ScanMode::Idle;
            continue;
        }
        switch (mode) {
        case ScanMode::Idle:
            if (cls == CharClass::Sign) {
                acc ^= b;
                mode = ScanMode::Number;
            } else {
                fallback();
            }
            break;
        case ScanMode::Number:
            if (cls == CharClass::PointMark) {
                acc = std::rotl(acc, 7);
                mode = ScanMode::Point;
            } else if (cls == CharClass::Exponent) {
                acc += 97;
                mode = ScanMode::Idle;
            } else {
                fallback();
            }
            break;
        case ScanMode::Point:
            fallback();
            break;
        case ScanMode::Fraction:
            if (cls == CharClass::Exponent) {
                acc += 97;
                mode = ScanMode::Idle;
            } else {
                fallback();
            }
            break;
        }
    }
    return {acc, mode};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t acc = 0;
    std::size_t prefix = size < 8 ? size : 8;
    for (std::size_t i = 0; i < prefix; ++i)
        acc |= static_cast<std::uint64_t>(data[i]) << (8 * i);
    const std::span<const std::uint8_t> text(data + prefix, size - prefix);

    for (std::uint64_t start = 0; start < 4; ++start) {
        const std::uint64_t seeded = (acc & ~std::uint64_t{3}) | start;
        const ScanResult got = quorlind::detail::scan_text(seeded, text);
        const ScanResult want = reference_scan(seeded, text);
        if (got.acc != want.acc || got.mode != want.mode) {
            std::fprintf(stderr,
                         "scan differs from the reference: start acc %016" PRIx64 ", %zu bytes: got %016" PRIx64
                         " in mode %d, expected %016" PRIx64 " in mode %d\n",
                         seeded, text.size(), got.acc, static_cast<int>(got.mode), want.acc,
                         static_cast<int>(want.mode));
            std::abort();
        }
    }
    return 0;
}
