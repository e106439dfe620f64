#pragma once

#include <quorlind.h>

#include <cstdint>
#include <string>

namespace quorlind::bench {

// What the loaded library says of itself, asked once at start-up so that the
// rest of the tool never calls it directly.
struct LibraryInfo {
    std::string version;
    std::uint32_t abi_version = 0;  // the C interface it implements
    QuorlindRunConfig defaults{};   // a run's configuration before any option
};

LibraryInfo library_info();

}  // namespace quorlind::bench
