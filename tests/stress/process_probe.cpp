#include "process_probe.h"

#include <fstream>
#include <sstream>
#include <thread>

#if defined(__linux__)
#include <filesystem>
#elif defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#endif

namespace quorlind::testing {

namespace {

constexpr const char* worker_prefix = "quorlind-";

#if defined(__linux__)
// One "Name:  value" line of /proc/self/status, as a number.
std::optional<std::uint64_t> status_field(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, name.size() + 1, name + ":") != 0) {
            continue;
        }
        std::istringstream value(line.substr(name.size() + 1));
        std::uint64_t number = 0;
        if (value >> number) {
            return number;
        }
    }
    return std::nullopt;
}
#endif

template <class Probe, class Settled>
auto settle(Probe probe, Settled settled, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto seen = probe();
    while (seen && !settled(*seen) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        seen = probe();
    }
    return seen;
}

}  // namespace

std::optional<std::uint64_t> thread_count() {
#if defined(__linux__)
    return status_field("Threads");
#elif defined(_WIN32)
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::uint64_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    }
    CloseHandle(snapshot);
    return count;
#else
    return std::nullopt;
#endif
}

std::optional<std::uint64_t> resident_bytes() {
#if defined(__linux__)
    const auto kilobytes = status_field("VmRSS");
    if (!kilobytes) {
        return std::nullopt;
    }
    return *kilobytes * 1024;
#elif defined(_WIN32)
    PROCESS_MEMORY_COUNTERS counters{};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return std::nullopt;
    return static_cast<std::uint64_t>(counters.WorkingSetSize);
#else
    return std::nullopt;
#endif
}

std::optional<std::vector<std::string>> worker_thread_names() {
#if defined(__linux__)
    std::error_code error;
    std::filesystem::directory_iterator tasks("/proc/self/task", error);
    if (error) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const auto& task : tasks) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        // A thread that ended since the listing has no comm to read any more.
        if (std::getline(comm, name) && name.rfind(worker_prefix, 0) == 0) {
            names.push_back(name);
        }
    }
    return names;
#else
    return std::nullopt;
#endif
}

std::optional<std::vector<std::string>> worker_threads_after_settling(std::chrono::milliseconds limit) {
    return settle(
        &worker_thread_names, [](const std::vector<std::string>& names) { return names.empty(); }, limit);
}

std::optional<std::uint64_t> thread_count_after_settling(std::uint64_t at_most,
                                                         std::chrono::milliseconds limit) {
    return settle(
        &thread_count, [at_most](std::uint64_t count) { return count <= at_most; }, limit);
}

}  // namespace quorlind::testing
