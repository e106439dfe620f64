#include "platform.hpp"

#include <cstdio>
#include <string>

#include <io.h>
#include <windows.h>

namespace quorlind::bench::platform {
namespace {

void (*interrupt_callback)() = nullptr;

BOOL WINAPI handle_console_control(DWORD type) {
    if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && interrupt_callback != nullptr) {
        interrupt_callback();
        return TRUE;
    }
    return FALSE;
}

std::string processor_model() {
    char name[256] = {};
    DWORD size = sizeof name;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                     "ProcessorNameString", RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS) {
        return {};
    }
    std::string model = name;
    const auto first = model.find_first_not_of(' ');
    const auto last = model.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : model.substr(first, last - first + 1);
}

// GetVersionEx reports whatever the manifest claims; the kernel's own call does not.
std::string windows_version() {
    using RtlGetVersionFunction = LONG(WINAPI *)(OSVERSIONINFOW *);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtl_get_version = ntdll != nullptr ? reinterpret_cast<RtlGetVersionFunction>(
                                                  reinterpret_cast<void *>(GetProcAddress(ntdll, "RtlGetVersion")))
                                            : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtl_get_version == nullptr || rtl_get_version(&info) != 0) {
        return "Windows";
    }
    return "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
           " build " + std::to_string(info.dwBuildNumber);
}

} // namespace

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

SystemDescription describe_system() {
    SystemDescription system;
    system.processor = processor_model();
    system.logical_processors = static_cast<unsigned>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
    system.operating_system = windows_version() + " (x86_64)";
    return system;
}

// Windows has neither frequency governors nor a load average to read.
EnvironmentFacts read_environment_facts() { return {}; }

void install_interrupt_handler(void (*on_interrupt)()) {
    interrupt_callback = on_interrupt;
    SetConsoleCtrlHandler(handle_console_control, TRUE);
}

} // namespace quorlind::bench::platform
