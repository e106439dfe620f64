#include "child_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorlind::bench::testing {
namespace {

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void redirect(const std::string& path, int target) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, target);
    close(fd);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments)
    : start_(std::chrono::steady_clock::now()) {
    static int children = 0;
    const std::string prefix = ::testing::TempDir() + "quorlind-bench-" + std::to_string(getpid()) + "-" +
                               std::to_string(++children);
    out_path_ = prefix + ".out";
    err_path_ = prefix + ".err";
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        redirect("/dev/null", STDIN_FILENO);
        redirect(out_path_, STDOUT_FILENO);
        redirect(err_path_, STDERR_FILENO);
        // The test runner may have left SIGINT ignored or blocked.
        signal(SIGINT, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    std::remove(out_path_.c_str());
    std::remove(err_path_.c_str());
}

bool ChildProcess::wait_for_stderr(const std::string& text, std::chrono::seconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (read_file(err_path_).find(text) == std::string::npos) {
        siginfo_t exited{};
        waitid(P_PID, static_cast<id_t>(pid_), &exited,
               WEXITED | WNOHANG | WNOWAIT);  // leaves it to finish()
        if (std::chrono::steady_clock::now() > deadline || exited.si_pid != 0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void ChildProcess::send_signal(int signal_number) const { kill(pid_, signal_number); }

ChildResult ChildProcess::finish(std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    pid_t waited = 0;
    while ((waited = waitpid(pid_, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    ChildResult result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    result.exit_code = waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = read_file(out_path_);
    result.err = read_file(err_path_);
    return result;
}

ChildResult run_child(const std::vector<std::string>& arguments, std::chrono::seconds limit) {
    ChildProcess child(arguments);
    return child.finish(limit);
}

}  // namespace quorlind::bench::testing
