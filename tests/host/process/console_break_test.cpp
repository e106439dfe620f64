// Ctrl-C and Ctrl-Break from the console, as Windows delivers them to
// quorlind-bench.exe: the measurement is cancelled, the partial run is still
// reported and written, and the exit code is 130; two Ctrl-C at once are one.
//
// Ctrl-C goes to every process on the console, as when a user presses it;
// Ctrl-Break goes to the benchmark started in a process group of its own,
// which ignores Ctrl-C. Wine delivers Ctrl-C only: it cannot send Ctrl-Break,
// which is then reported as not checked. Exits 77 (skipped) when no event can
// be delivered at all.
//
// console_break_test <quorlind-bench.exe>, run in a scratch directory.
#include <windows.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

namespace {

constexpr int skipped = 77;
constexpr const char* json_path = "cancelled.json";
constexpr const char* out_path = "bench.out";
constexpr const char* err_path = "bench.err";

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

std::string read_file(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

HANDLE inheritable_output(const char* path) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool under_wine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Ctrl-C reaches this process too: it must go on to check the benchmark.
BOOL WINAPI ignore_console_events(DWORD) { return TRUE; }

bool wait_for_text(const char* path, const std::string& text, HANDLE process, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (read_file(path).find(text) != std::string::npos) {
            return true;
        }
        if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) {
            return read_file(path).find(text) != std::string::npos;
        }
    }
    return false;
}

struct Case {
    const char* name;
    DWORD event;
    bool own_group;
    int times = 1;  // sent back to back: together they are one interrupt
};

enum class Outcome { passed, failed, not_sent, not_delivered };

int check(bool condition, const std::string& what) {
    std::cout << (condition ? "  ok: " : "  FAILED: ") << what << "\n";
    return condition ? 0 : 1;
}

// The report of a run cancelled while it measured: exit 130, the text and
// the JSON file both saying so, and what was measured kept.
bool partial_report_checks(DWORD exit_code) {
    int failures = check(exit_code == 130, "exit code 130 (it was " + std::to_string(exit_code) + ")");
    failures += check(read_file(out_path).find("benchmark: cancelled") != std::string::npos,
                      "the report says cancelled");
    try {
        const auto result = nlohmann::json::parse(read_file(json_path));
        const auto& runs = result.at("runs");
        failures += check(runs.size() == 1, "one run written");
        if (runs.size() == 1) {
            failures += check(runs[0].at("status").at("name") == "cancelled", "the run is cancelled");
            failures += check(runs[0].at("partial") == true, "the run is marked partial");
            failures += check(runs[0].at("summary").at("measured_seconds").get<double>() > 0.0,
                              "what was measured before the event is kept");
        }
    } catch (const std::exception& error) {
        failures += check(false, std::string("the JSON file reads back: ") + error.what());
    }
    if (failures > 0) {
        std::cout << "stdout:\n" << read_file(out_path) << "\nstderr:\n" << read_file(err_path) << "\n";
    }
    return failures == 0;
}

Outcome run_case(const std::string& bench, const Case& test) {
    std::cout << test.name << "\n";
    DeleteFileA(json_path);
    OwnedHandle out(inheritable_output(out_path));
    OwnedHandle err(inheritable_output(err_path));
    if (!out.valid() || !err.valid()) {
        check(false, "output files created in the working directory");
        return Outcome::failed;
    }
    // Long enough that only the event can end it within the test's time.
    std::string command = "\"" + bench + "\" --warmup 0.2 --measure 60 --json " + json_path;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION child{};
    const DWORD flags = test.own_group ? CREATE_NEW_PROCESS_GROUP : 0;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup,
                        &child)) {
        check(false, command + " starts (error " + std::to_string(GetLastError()) + ")");
        return Outcome::failed;
    }
    OwnedHandle process(child.hProcess);
    OwnedHandle thread(child.hThread);
    const auto stop_child = [&] {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 10000);
    };

    // Progress goes to stderr as whole lines when it is not a terminal.
    if (!wait_for_text(err_path, "measurement", process.get(), std::chrono::seconds(60))) {
        stop_child();
        check(false, "the benchmark reaches its measurement:\n" + read_file(err_path));
        return Outcome::failed;
    }
    // Group 0 is every process on this console; otherwise the benchmark's own group.
    for (int sent = 0; sent < test.times; ++sent) {
        if (!GenerateConsoleCtrlEvent(test.event, test.own_group ? child.dwProcessId : 0)) {
            const DWORD error = GetLastError();
            stop_child();
            std::cout << "  the console cannot send it here (error " << error << ")\n";
            return Outcome::not_sent;
        }
    }
    // Cancellation is seen within one poll; the rest is writing the report.
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
        stop_child();
        std::cout << "  sent, but the benchmark ran on: it never arrived\n";
        return Outcome::not_delivered;
    }
    DWORD exit_code = 0;
    GetExitCodeProcess(process.get(), &exit_code);
    return partial_report_checks(exit_code) ? Outcome::passed : Outcome::failed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: console_break_test <quorlind-bench.exe>\n";
        return 2;
    }
    // Console events travel through a console that both processes share. A
    // test started without one (Wine gives such a process a stand-in that
    // carries no events) gets one of its own. Output stays where it was: the
    // runtime's streams keep the handles they started with.
    FreeConsole();
    if (!AllocConsole()) {
        std::cout << "no console can be created here (error " << GetLastError() << ")\n";
        return skipped;
    }
    SetConsoleCtrlHandler(ignore_console_events, TRUE);

    const bool wine = under_wine();
    int failures = 0;
    int delivered = 0;
    for (const Case& test :
         {Case{"Ctrl-C to every process on the console", CTRL_C_EVENT, false},
          Case{"two Ctrl-C at once, which count as one", CTRL_C_EVENT, false, 2},
          Case{"Ctrl-Break to the benchmark's own process group", CTRL_BREAK_EVENT, true}}) {
        switch (run_case(argv[1], test)) {
            case Outcome::passed:
                ++delivered;
                break;
            case Outcome::failed:
                ++failures;
                break;
            case Outcome::not_sent:
            case Outcome::not_delivered:
                // Wine sends Ctrl-C alone; Windows sends both.
                if (wine && test.event == CTRL_BREAK_EVENT) {
                    std::cout << "  not checked: Wine cannot deliver Ctrl-Break\n";
                } else if (!wine) {
                    ++failures;
                }
                break;
        }
    }
    if (failures > 0) {
        return 1;
    }
    return delivered > 0 ? 0 : skipped;
}
