#include <windows.h>

#include "platform/platform.h"

namespace quorlind::platform {

// The machine's logical processors as GetSystemInfo reports them: neither the
// affinity mask nor processor groups are taken into account.
std::uint64_t logical_processor_count() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

}  // namespace quorlind::platform
