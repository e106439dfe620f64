#include "run/load_sampler.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

// The other Win32 headers need windows.h before them.
// clang-format off
#include <windows.h>
#include <powrprof.h>
#include "system/win32/processor_power.h"
#include <tlhelp32.h>
// clang-format on

namespace quorlind::bench {
namespace {

// Older Windows lacks GetThreadDescription, so it is looked up at run time.
using GetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PWSTR*);

GetThreadDescriptionFunction get_thread_description() {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? reinterpret_cast<GetThreadDescriptionFunction>(
                          reinterpret_cast<void*>(GetProcAddress(kernel32, "GetThreadDescription")))
                    : nullptr;
}

std::uint64_t nanos(const FILETIME& time) {
    const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks * 100;
}

std::vector<DWORD> own_thread_ids() {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return ids;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    const DWORD process = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == process) {
            ids.push_back(entry.th32ThreadID);
        }
    }
    CloseHandle(snapshot);
    return ids;
}

std::string narrow(const wchar_t* text) {
    std::string result;
    for (; *text != L'\0'; ++text) {
        result += *text < 128 ? static_cast<char>(*text) : '?';  // worker names are ASCII
    }
    return result;
}

class Win32Probe final : public LoadProbe {
public:
    // The threads alive now are not workers: where no description can be
    // read, the workers are the threads that appear after this.
    Win32Probe() : describe_(get_thread_description()) {
        const auto ids = own_thread_ids();
        before_.insert(ids.begin(), ids.end());
    }

    ~Win32Probe() override {
        for (HANDLE handle : threads_) {
            if (handle != nullptr) {
                CloseHandle(handle);
            }
        }
    }

    Win32Probe(const Win32Probe&) = delete;
    Win32Probe& operator=(const Win32Probe&) = delete;

    std::size_t find_workers(std::uint32_t workers) override {
        if (threads_.size() != workers) {
            for (HANDLE handle : threads_) {
                if (handle != nullptr) {
                    CloseHandle(handle);
                }
            }
            threads_.assign(workers, nullptr);
            placed_.clear();
        }
        std::vector<std::pair<DWORD, HANDLE>> unnamed;
        for (const DWORD id : own_thread_ids()) {
            if (before_.count(id) != 0 || placed_.count(id) != 0) {
                continue;
            }
            HANDLE handle = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, id);
            if (handle == nullptr) {
                continue;
            }
            std::optional<std::uint32_t> index;
            PWSTR description = nullptr;
            if (describe_ != nullptr && SUCCEEDED(describe_(handle, &description)) &&
                description != nullptr) {
                index = worker_index_from_name(narrow(description));
                LocalFree(description);
            }
            if (index && *index < workers && threads_[*index] == nullptr) {
                threads_[*index] = handle;
                placed_.insert(id);
                named_ = true;
            } else if (!index) {
                unnamed.emplace_back(id, handle);
            } else {
                CloseHandle(handle);
            }
        }
        // Without names, new threads in the order the snapshot lists them.
        for (const auto& [id, handle] : unnamed) {
            auto free_slot = std::find(threads_.begin(), threads_.end(), nullptr);
            if (!named_ && free_slot != threads_.end()) {
                *free_slot = handle;
                placed_.insert(id);
            } else {
                CloseHandle(handle);
            }
        }
        return static_cast<std::size_t>(
            std::count_if(threads_.begin(), threads_.end(), [](HANDLE handle) { return handle != nullptr; }));
    }

    void read(LoadReading& reading) override {
        reading.workers.assign(threads_.size(), std::nullopt);
        for (std::size_t i = 0; i < threads_.size(); ++i) {
            FILETIME created, exited, kernel, user;
            DWORD exit_code = 0;
            // A held handle keeps answering after its thread has ended.
            if (threads_[i] != nullptr && GetExitCodeThread(threads_[i], &exit_code) &&
                exit_code == STILL_ACTIVE && GetThreadTimes(threads_[i], &created, &exited, &kernel, &user)) {
                WorkerReading worker;
                worker.run_nanos = nanos(kernel) + nanos(user);
                reading.workers[i] = worker;
                worker_seen_ = true;
            }
        }
        FILETIME idle, kernel, user;
        FILETIME created, exited, own_kernel, own_user;
        if (GetSystemTimes(&idle, &kernel, &user) &&
            GetProcessTimes(GetCurrentProcess(), &created, &exited, &own_kernel, &own_user)) {
            // The system's kernel time includes its idle time.
            const std::uint64_t total = nanos(kernel) + nanos(user);
            const std::uint64_t idle_nanos = nanos(idle);
            reading.machine_total_nanos = total;
            reading.machine_busy_nanos = total >= idle_nanos ? total - idle_nanos : 0;
            reading.process_nanos = nanos(own_kernel) + nanos(own_user);
            system_seen_ = true;
        }
        reading.clock_mhz = read_clock();
    }

    std::vector<FigureAvailability> availability() const override {
        const std::string not_counted = "not counted by Windows";
        auto entry = [](const char* name, bool seen, const std::string& why) {
            return FigureAvailability{name, seen, seen ? std::string() : why};
        };
        return {entry("worker_cpu_share", worker_seen_, "the worker threads were not found"),
                entry("runqueue_wait_share", false, not_counted),
                entry("involuntary_switches", false, not_counted),
                entry("other_processes_cpus", system_seen_, "GetSystemTimes or GetProcessTimes failed"),
                entry("steal_share", false, not_counted),
                entry("clock_mhz", clock_seen_, "CallNtPowerInformation gave no current clock"),
                entry("temperature_celsius", false, "no sensor that Windows offers without a driver")};
    }

private:
    // Windows does not say where a thread runs, so the mean over all processors.
    std::optional<double> read_clock() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        std::vector<ProcessorPowerInformation> processors(info.dwNumberOfProcessors);
        const auto bytes = static_cast<ULONG>(processors.size() * sizeof(ProcessorPowerInformation));
        if (processors.empty() ||
            CallNtPowerInformation(ProcessorInformation, nullptr, 0, processors.data(), bytes) != 0) {
            return std::nullopt;
        }
        double sum = 0.0;
        for (const auto& processor : processors) {
            if (processor.CurrentMhz == 0) {
                return std::nullopt;
            }
            sum += processor.CurrentMhz;
        }
        clock_seen_ = true;
        return sum / static_cast<double>(processors.size());
    }

    GetThreadDescriptionFunction describe_;
    std::set<DWORD> before_;
    std::set<DWORD> placed_;
    std::vector<HANDLE> threads_;
    bool named_ = false;
    bool worker_seen_ = false;
    bool system_seen_ = false;
    bool clock_seen_ = false;
};

}  // namespace

std::unique_ptr<LoadProbe> make_load_probe() { return std::make_unique<Win32Probe>(); }

}  // namespace quorlind::bench
