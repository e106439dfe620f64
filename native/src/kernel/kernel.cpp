#include "kernel/kernel.h"

#include <array>
#include <bit>

namespace quorlind {
namespace detail {
namespace {

enum Action : std::uint8_t { ACCUMULATE, FOLD, SIGN, SHIFT, EXPONENT, DEFAULT };
enum CharClass : std::uint8_t { DIGIT, SEPARATOR, SIGN_MARK, POINT_MARK, EXPONENT_MARK, OTHER };

constexpr CharClass classify(unsigned byte) {
    if (byte >= '0' && byte <= '9') return DIGIT;
    if (byte == '\n' || byte == ' ' || byte == ';') return SEPARATOR;
    if (byte == '+' || byte == '-') return SIGN_MARK;
    if (byte == ',' || byte == '.') return POINT_MARK;
    if (byte == 'E' || byte == 'e') return EXPONENT_MARK;
    return OTHER;
}

struct Transition {
    Action action;
    ScanMode next;
};

// Rows: Idle, Number, Point, Fraction. Columns: the character classes.
constexpr Transition TRANSITIONS[4][6] = {
    {{ACCUMULATE, ScanMode::Number}, {FOLD, ScanMode::Idle}, {SIGN, ScanMode::Number},
     {DEFAULT, ScanMode::Idle}, {DEFAULT, ScanMode::Idle}, {DEFAULT, ScanMode::Idle}},
    {{ACCUMULATE, ScanMode::Number}, {FOLD, ScanMode::Idle}, {DEFAULT, ScanMode::Idle},
     {SHIFT, ScanMode::Point}, {EXPONENT, ScanMode::Idle}, {DEFAULT, ScanMode::Idle}},
    {{ACCUMULATE, ScanMode::Fraction}, {FOLD, ScanMode::Idle}, {DEFAULT, ScanMode::Idle},
     {DEFAULT, ScanMode::Idle}, {DEFAULT, ScanMode::Idle}, {DEFAULT, ScanMode::Idle}},
    {{ACCUMULATE, ScanMode::Number}, {FOLD, ScanMode::Idle}, {DEFAULT, ScanMode::Idle},
     {DEFAULT, ScanMode::Idle}, {EXPONENT, ScanMode::Idle}, {DEFAULT, ScanMode::Idle}},
};

// Per byte value, the transitions of all four modes packed into one word:
// byte m holds the action (low three bits) and next mode (bits 3-4) of mode m.
// The lookup does not depend on the running state, so only a shift and a
// mask sit on the scan's dependency chain.
constexpr std::array<std::uint32_t, 256> build_packed_transitions() {
    std::array<std::uint32_t, 256> packed{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        std::uint32_t word = 0;
        for (unsigned mode = 0; mode < 4; ++mode) {
            const Transition t = TRANSITIONS[mode][classify(byte)];
            word |= (static_cast<std::uint32_t>(t.action) | static_cast<std::uint32_t>(t.next) << 3)
                    << (mode * 8);
        }
        packed[byte] = word;
    }
    return packed;
}

constexpr std::array<std::uint32_t, 256> PACKED_TRANSITIONS = build_packed_transitions();

}  // namespace

std::uint64_t premix(std::uint64_t carry) noexcept {
    std::uint64_t acc = carry;
    for (std::uint64_t r = 0; r < 256; ++r) {
        acc += r ^ 0xA0761D6478BD642FULL;
        acc = (std::rotl(acc, 17) ^ acc) * 0xE7037ED1A0B428DBULL;
        acc ^= acc >> 29;
    }
    return acc;
}

ScanResult scan_text(std::uint64_t acc, std::span<const std::uint8_t> text) noexcept {
    unsigned mode = static_cast<unsigned>(acc & 3);
    for (const std::uint8_t byte : text) {
        const std::uint32_t cell = PACKED_TRANSITIONS[byte] >> (mode * 8);
        const std::uint64_t b = byte;
        // Every action's value is computed and one is picked: random text makes
        // a branch per byte mispredict about half the time.
        const std::uint64_t candidates[6] = {
            acc * 10 + (b - 0x30),       // ACCUMULATE
            acc ^ (acc >> 11),           // FOLD
            acc ^ b,                     // SIGN
            std::rotl(acc, 7),           // SHIFT
            acc + 97,                    // EXPONENT
            std::rotl(acc, 61) ^ b,      // DEFAULT
        };
        acc = candidates[cell & 7];
        mode = (cell >> 3) & 3;
    }
    return {acc, static_cast<ScanMode>(mode)};
}

std::uint64_t walk_table(std::uint64_t acc, WordTable& table) {
    std::uint64_t cursor = acc;
    for (std::uint64_t step = 0; step < 1024; ++step) {
        const std::size_t index = static_cast<std::size_t>(cursor & 0x7FFF);
        const std::uint64_t entry = table.load(index);
        acc = std::rotl(acc + entry, 13) ^ step;
        table.store(index, (acc ^ 0x8EBC6AF09C88C6E3ULL) + entry);
        cursor = entry ^ acc;
    }
    return acc;
}

}  // namespace detail

std::uint64_t run_kernel(WorkloadState& state) {
    const std::uint64_t mixed = detail::premix(state.carry);
    const detail::ScanResult scanned = detail::scan_text(mixed, state.text);
    const std::uint64_t walked = detail::walk_table(scanned.acc, state.table);
    std::uint64_t result = walked ^ static_cast<std::uint64_t>(scanned.mode);

    // The optimiser may not assume it knows this value, so no phase can be
    // dropped or folded away even when callers ignore the result.
    volatile std::uint64_t barrier = result;
    result = barrier;

    state.carry = result;
    return result;
}

}  // namespace quorlind
