#include "system/gather.h"

#include <chrono>

#include "system/build_info.h"
#include "system/cpu_probe.h"
#include "system/os_description.h"

namespace quorlind::bench {

SystemRecord gather_system_record() {
    SystemRecord system;
    const auto wall = std::chrono::system_clock::now();
    const auto monotonic = std::chrono::steady_clock::now();
    system.start_time_utc = std::chrono::floor<std::chrono::seconds>(wall);
    system.monotonic_start_seconds = std::chrono::duration<double>(monotonic.time_since_epoch()).count();
    os::describe(system);
    // CPUID names the processor the same way on every system; the OS's name
    // stays where there is no CPUID.
    if (auto brand = cpu_brand_string()) {
        system.processor = std::move(*brand);
    }
    system.hypervisor = read_hypervisor();
    system.library_build = library_build_info();
    system.effective_clock_before_mhz = measure_effective_clock_mhz();
    return system;
}

void finish_system_record(SystemRecord& system) {
    system.effective_clock_after_mhz = measure_effective_clock_mhz();
    system.load_after = os::read_load_average();
}

}  // namespace quorlind::bench
