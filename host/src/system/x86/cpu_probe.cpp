#include <algorithm>
#include <chrono>
#include <cpuid.h>
#include <cstdint>
#include <cstring>

#include "system/cpu_probe.h"

namespace quorlind::bench {
namespace {

constexpr unsigned hypervisor_bit = 1u << 31;  // leaf 1, ECX
constexpr unsigned hypervisor_leaf = 0x40000000;
constexpr unsigned additions_per_block = 256;

std::string trim_text(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The additions are written out in assembly so that no optimisation level
// can fold, vectorise or spill the chain: each one waits for the last. A
// register operand, not an immediate, since some cores fold immediate adds
// at rename. The count matches additions_per_block.
std::uint64_t addition_chain(std::uint64_t blocks, std::uint64_t value, std::uint64_t step) {
    for (std::uint64_t block = 0; block < blocks; ++block) {
        asm volatile(".rept 256\n\tadd %1, %0\n\t.endr" : "+r"(value) : "r"(step));
    }
    return value;
}

}  // namespace

std::optional<std::string> cpu_brand_string() {
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    if (__get_cpuid_max(0x80000000, nullptr) < 0x80000004) {
        return std::nullopt;
    }
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
        __cpuid(0x80000002 + leaf, eax, ebx, ecx, edx);
        const unsigned words[4] = {eax, ebx, ecx, edx};
        std::memcpy(brand + std::size_t{leaf} * 16, words, sizeof words);
    }
    std::string text = trim_text(brand);
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

Hypervisor read_hypervisor() {
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    Hypervisor hypervisor;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return hypervisor;
    }
    hypervisor.present = (ecx & hypervisor_bit) != 0;
    if (!*hypervisor.present) {
        return hypervisor;
    }
    // Below the hypervisor range __get_cpuid refuses the leaf; hypervisors
    // answer it directly.
    __cpuid(hypervisor_leaf, eax, ebx, ecx, edx);
    char signature[13] = {};
    const unsigned words[3] = {ebx, ecx, edx};
    std::memcpy(signature, words, sizeof words);
    const std::string name = hypervisor_name(signature);
    if (!name.empty()) {
        hypervisor.vendor = name;
    }
    return hypervisor;
}

std::optional<double> measure_effective_clock_mhz() {
    using clock = std::chrono::steady_clock;
    constexpr auto trial_length = std::chrono::microseconds(1000);
    constexpr int trials = 5;
    std::uint64_t value = static_cast<std::uint64_t>(clock::now().time_since_epoch().count());
    // Grow the block count until one trial lasts about a millisecond.
    std::uint64_t blocks = 64;
    for (int attempt = 0; attempt < 40; ++attempt) {
        const auto start = clock::now();
        value = addition_chain(blocks, value, 3);
        if (clock::now() - start >= trial_length) {
            break;
        }
        blocks *= 2;
    }
    double best = 0.0;
    for (int trial = 0; trial < trials; ++trial) {
        const auto start = clock::now();
        value = addition_chain(blocks, value, 5);
        const std::chrono::duration<double> elapsed = clock::now() - start;
        if (elapsed.count() > 0.0) {
            best = std::max(best, static_cast<double>(blocks * additions_per_block) / elapsed.count());
        }
    }
    if (best <= 0.0) {
        return std::nullopt;
    }
    return best / 1e6;
}

}  // namespace quorlind::bench
