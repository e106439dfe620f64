#include <string>
#include <vector>

#include "system/os_description.h"
#include "system/topology.h"

// The other Win32 headers need windows.h before them.
// clang-format off
#include <windows.h>
#include <powrprof.h>
#include "system/win32/processor_power.h"
// clang-format on

namespace quorlind::bench::os {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::optional<std::string> utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return std::nullopt;
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

std::optional<std::string> registry_text(HKEY root, const char* key, const char* name) {
    char value[256] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string text = trim(value);
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

std::optional<DWORD> registry_number(HKEY root, const char* key, const char* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

constexpr const char* current_version_key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// GetVersionEx reports whatever the manifest claims; the kernel's own call does not.
std::optional<OSVERSIONINFOW> kernel_version() {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtl_get_version = ntdll != nullptr ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(
                                                  GetProcAddress(ntdll, "RtlGetVersion")))
                                            : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtl_get_version == nullptr || rtl_get_version(&info) != 0) {
        return std::nullopt;
    }
    return info;
}

OsIdentity os_identity(const std::optional<OSVERSIONINFOW>& kernel) {
    OsIdentity os;
    os.name = "Windows";
    if (!kernel) {
        return os;
    }
    os.version = std::to_string(kernel->dwMajorVersion) + "." + std::to_string(kernel->dwMinorVersion);
    if (const auto release = registry_text(HKEY_LOCAL_MACHINE, current_version_key, "DisplayVersion")) {
        os.version = *os.version + " (" + *release + ")";
    }
    // The update revision tells patch levels of one build apart.
    os.build = std::to_string(kernel->dwBuildNumber);
    if (const auto revision = registry_number(HKEY_LOCAL_MACHINE, current_version_key, "UBR")) {
        os.build = *os.build + "." + std::to_string(*revision);
    }
    return os;
}

std::optional<std::string> host_name() {
    wchar_t name[256] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) {
        return std::nullopt;
    }
    return utf8(name);
}

// Windows reports the rated clock as each processor's MaxMhz; the turbo
// ceiling is not told.
ClockInfo clock_info(unsigned processors) {
    ClockInfo clock;
    if (processors == 0) {
        return clock;
    }
    std::vector<ProcessorPowerInformation> information(processors);
    const auto bytes = static_cast<ULONG>(information.size() * sizeof(ProcessorPowerInformation));
    if (CallNtPowerInformation(ProcessorInformation, nullptr, 0, information.data(), bytes) != 0) {
        return clock;
    }
    if (information.front().MaxMhz > 0) {
        clock.base_mhz = static_cast<double>(information.front().MaxMhz);
    }
    return clock;
}

}  // namespace

void describe(SystemRecord& system) {
    system.logical_processors = static_cast<unsigned>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
    system.processor = registry_text(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                                     "ProcessorNameString")
                           .value_or("");
    const auto kernel = kernel_version();
    system.operating_system = (kernel ? "Windows " + std::to_string(kernel->dwMajorVersion) + "." +
                                            std::to_string(kernel->dwMinorVersion) + " build " +
                                            std::to_string(kernel->dwBuildNumber)
                                      : std::string("Windows")) +
                              " (x86_64)";
    system.os = os_identity(kernel);
    system.host_name = host_name();
    system.topology = read_topology();
    system.clock = clock_info(system.logical_processors);
    // Windows has neither cpufreq governors nor a load average.
}

std::optional<LoadAverage> read_load_average() { return std::nullopt; }

}  // namespace quorlind::bench::os
