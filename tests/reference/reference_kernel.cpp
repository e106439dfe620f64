#include "reference/reference_kernel.h"

#include <bit>
#include <vector>

namespace quorlind::reference {

namespace {

enum class Class { digit, separator, sign, point_mark, exponent, other };

Class classify(std::uint8_t byte) {
    switch (byte) {
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            return Class::digit;
        case '\n':
        case ' ':
        case ';':
            return Class::separator;
        case '+':
        case '-':
            return Class::sign;
        case ',':
        case '.':
            return Class::point_mark;
        case 'E':
        case 'e':
            return Class::exponent;
        default:
            return Class::other;
    }
}

std::uint64_t premix(std::uint64_t acc) {
    for (std::uint64_t r = 0; r < 256; ++r) {
        acc += r ^ 0xA0761D6478BD642FULL;
        acc = (std::rotl(acc, 17) ^ acc) * 0xE7037ED1A0B428DBULL;
        acc ^= acc >> 29;
    }
    return acc;
}

std::uint64_t walk_table(std::uint64_t acc, WordTable& table) {
    std::uint64_t cursor = acc;
    for (std::uint64_t step = 0; step < 1024; ++step) {
        const std::size_t index = cursor & 0x7FFF;
        const std::uint64_t entry = table.load(index);
        acc = std::rotl(acc + entry, 13) ^ step;
        table.store(index, (acc ^ 0x8EBC6AF09C88C6E3ULL) + entry);
        cursor = entry ^ acc;
    }
    return acc;
}

}  // namespace

detail::ScanResult scan_text(std::uint64_t acc, std::span<const std::uint8_t> text) noexcept {
    ScanMode mode = static_cast<ScanMode>(acc & 3);
    for (const std::uint8_t byte : text) {
        const std::uint64_t b = byte;
        const auto accumulate = [&] {
            acc = acc * 10 + (b - 0x30);
        };
        const auto fold = [&] {
            acc ^= acc >> 11;
        };
        const auto fallback = [&] {
            acc = std::rotl(acc, 61) ^ b;
            mode = ScanMode::idle;
        };
        const Class cls = classify(byte);
        switch (mode) {
            case ScanMode::idle:
                switch (cls) {
                    case Class::digit:
                        accumulate();
                        mode = ScanMode::number;
                        break;
                    case Class::separator:
                        fold();
                        break;
                    case Class::sign:
                        acc ^= b;
                        mode = ScanMode::number;
                        break;
                    default:
                        fallback();
                        break;
                }
                break;
            case ScanMode::number:
                switch (cls) {
                    case Class::digit:
                        accumulate();
                        break;
                    case Class::separator:
                        fold();
                        mode = ScanMode::idle;
                        break;
                    case Class::point_mark:
                        acc = std::rotl(acc, 7);
                        mode = ScanMode::point;
                        break;
                    case Class::exponent:
                        acc += 97;
                        mode = ScanMode::idle;
                        break;
                    default:
                        fallback();
                        break;
                }
                break;
            case ScanMode::point:
                switch (cls) {
                    case Class::digit:
                        accumulate();
                        mode = ScanMode::fraction;
                        break;
                    case Class::separator:
                        fold();
                        mode = ScanMode::idle;
                        break;
                    default:
                        fallback();
                        break;
                }
                break;
            case ScanMode::fraction:
                switch (cls) {
                    case Class::digit:
                        accumulate();
                        mode = ScanMode::number;
                        break;
                    case Class::separator:
                        fold();
                        mode = ScanMode::idle;
                        break;
                    case Class::exponent:
                        acc += 97;
                        mode = ScanMode::idle;
                        break;
                    default:
                        fallback();
                        break;
                }
                break;
        }
    }
    return {acc, mode};
}

std::uint64_t run_kernel(WorkloadState& state) {
    const std::uint64_t mixed = premix(state.carry);
    const detail::ScanResult scanned = scan_text(mixed, state.text);
    std::uint64_t result = walk_table(scanned.acc, state.table) ^ static_cast<std::uint64_t>(scanned.mode);
    volatile std::uint64_t barrier = result;
    result = barrier;
    state.carry = result;
    return result;
}

bool agrees_with_library(int calls, const char** detail) {
    // Every byte value after every other one, from every starting mode and
    // from a few accumulator values.
    std::vector<std::uint8_t> all_pairs;
    for (unsigned first = 0; first < 256; ++first) {
        for (unsigned second = 0; second < 256; ++second) {
            all_pairs.push_back(static_cast<std::uint8_t>(first));
            all_pairs.push_back(static_cast<std::uint8_t>(second));
        }
    }
    for (std::uint64_t acc : {0ULL, 1ULL, 2ULL, 3ULL, 0x123456789ABCDEF0ULL, ~0ULL}) {
        const detail::ScanResult ours = detail::scan_text(acc, all_pairs);
        const detail::ScanResult theirs = scan_text(acc, all_pairs);
        if (ours.acc != theirs.acc || ours.mode != theirs.mode) {
            *detail = "scan over all byte pairs differs";
            return false;
        }
    }

    for (std::uint64_t seed = 0; seed < 4; ++seed) {
        Expected<WorkloadState> a = WorkloadState::generate(seed);
        Expected<WorkloadState> b = WorkloadState::generate(seed);
        if (!a || !b) {
            *detail = "workload could not be generated";
            return false;
        }
        for (int call = 0; call < calls; ++call) {
            if (quorlind::run_kernel(a.value()) != reference::run_kernel(b.value())) {
                *detail = "kernel results differ";
                return false;
            }
        }
        for (std::size_t i = 0; i < table_words; ++i) {
            if (a.value().table.load(i) != b.value().table.load(i)) {
                *detail = "tables differ after the calls";
                return false;
            }
        }
    }
    return true;
}

}  // namespace quorlind::reference
