#include <unistd.h>

#include "platform/platform.h"

namespace quorlind::platform {

// Processors online, not the affinity mask: the machine's count, as the
// Windows side reports it.
std::uint64_t logical_processor_count() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

}  // namespace quorlind::platform
