#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quorlind::bench::testing {

struct ChildResult {
    int exit_code = -1;  // -1 when killed by a signal or for running too long
    std::string out;
    std::string err;
    double seconds = 0.0;
};

// A program started with stdout and stderr in files, so never on a terminal.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool wait_for_stderr(const std::string& text, std::chrono::seconds limit) const;
    void send_signal(int signal_number) const;
    ChildResult finish(std::chrono::seconds limit);  // kills the child past the limit

private:
    int pid_ = -1;
    std::string out_path_;
    std::string err_path_;
    std::chrono::steady_clock::time_point start_;
};

ChildResult run_child(const std::vector<std::string>& arguments, std::chrono::seconds limit);

}  // namespace quorlind::bench::testing
