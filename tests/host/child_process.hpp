#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quorlind::bench::testing {

struct ChildResult {
    int exit_code = -1; // -1 when it was killed for running too long
    std::string out;
    std::string err;
    std::chrono::duration<double> took{};
};

// Runs a program with stdout and stderr on pipes (so never a terminal) and
// stdin on /dev/null, and kills it if it outlives the limit.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string> &arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Reads output until stderr shows the text or the wait is over.
    bool wait_for_stderr(const std::string &text, std::chrono::duration<double> limit);
    void send_signal(int signal_number);
    ChildResult finish(std::chrono::duration<double> limit);

private:
    bool pump(std::chrono::milliseconds wait);

    int pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::chrono::steady_clock::time_point start_;
    ChildResult result_;
};

ChildResult run_child(const std::vector<std::string> &arguments,
                      std::chrono::duration<double> limit = std::chrono::seconds(60));

} // namespace quorlind::bench::testing
