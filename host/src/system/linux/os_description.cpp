#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

#include <sys/utsname.h>

#include "system/linux/system_files.h"
#include "system/os_description.h"
#include "system/topology.h"

namespace quorlind::bench::os {
namespace {

std::optional<std::string> host_name() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return std::nullopt;
    }
    return std::string(name);
}

}  // namespace

void describe(SystemRecord& system) {
    const std::filesystem::path root = "/";
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    system.logical_processors =
        online > 0 ? static_cast<unsigned>(online) : std::thread::hardware_concurrency();
    utsname names{};
    if (uname(&names) == 0) {
        system.operating_system =
            std::string(names.sysname) + " " + names.release + " (" + names.machine + ")";
        system.os = read_os_identity(root, names.release, names.version);
        system.processor = read_processor_model(root).value_or(names.machine);
    } else {
        system.os = read_os_identity(root, "", "");
        system.processor = read_processor_model(root).value_or("");
    }
    system.host_name = host_name();
    system.topology = read_topology();
    system.clock = read_cpu_clock(root);
    system.power = read_power_settings(root);
    system.load_before = read_load_average();
}

std::optional<LoadAverage> read_load_average() {
    LoadAverage load{};
    if (getloadavg(load.data(), 3) != 3) {
        return std::nullopt;
    }
    return load;
}

}  // namespace quorlind::bench::os
