// The kernel's text scan over arbitrary bytes, from all four starting modes,
// against the kernel written the obvious way (a switch per byte on mode and
// class). The production scan is table-driven, so any byte value its tables
// get wrong shows up here as a difference.
//
// Input: up to 8 bytes of starting accumulator (little-endian), then the text.

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "kernel/kernel.h"
#include "reference/reference_kernel.h"

using quorlind::detail::ScanResult;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t acc = 0;
    std::size_t prefix = size < 8 ? size : 8;
    for (std::size_t i = 0; i < prefix; ++i) {
        acc |= static_cast<std::uint64_t>(data[i]) << (8 * i);
    }
    const std::span<const std::uint8_t> text(data + prefix, size - prefix);

    for (std::uint64_t start = 0; start < 4; ++start) {
        const std::uint64_t seeded = (acc & ~std::uint64_t{3}) | start;
        const ScanResult got = quorlind::detail::scan_text(seeded, text);
        const ScanResult want = quorlind::reference::scan_text(seeded, text);
        if (got.acc != want.acc || got.mode != want.mode) {
            std::fprintf(stderr,
                         "scan differs from the reference: start acc %016" PRIx64
                         ", %zu bytes: got %016" PRIx64 " in mode %d, expected %016" PRIx64 " in mode %d\n",
                         seeded, text.size(), got.acc, static_cast<int>(got.mode), want.acc,
                         static_cast<int>(want.mode));
            std::abort();
        }
    }
    return 0;
}
