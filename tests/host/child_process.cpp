#include "child_process.hpp"

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace quorlind::bench::testing {
namespace {

void close_fd(int &fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string> &arguments) : start_(std::chrono::steady_clock::now()) {
    int out_pipe[2];
    int err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    // The test runner may ignore SIGINT; the child must start with the default.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char *> argv;
    for (const auto &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int error = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out_pipe[1]);
    close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
    if (error != 0) {
        close_fd(out_fd_);
        close_fd(err_fd_);
        throw std::runtime_error("cannot start " + arguments.front());
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close_fd(out_fd_);
    close_fd(err_fd_);
}

bool ChildProcess::pump(std::chrono::milliseconds wait) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(wait.count())) <= 0) {
        return out_fd_ >= 0 || err_fd_ >= 0;
    }
    int *owners[2] = {&out_fd_, &err_fd_};
    std::string *sinks[2] = {&result_.out, &result_.err};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            sinks[i]->append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            close_fd(*owners[i]);
        }
    }
    return out_fd_ >= 0 || err_fd_ >= 0;
}

bool ChildProcess::wait_for_stderr(const std::string &text, std::chrono::duration<double> limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (result_.err.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (!pump(std::chrono::milliseconds(20))) {
            break;
        }
    }
    return result_.err.find(text) != std::string::npos;
}

void ChildProcess::send_signal(int signal_number) { kill(pid_, signal_number); }

ChildResult ChildProcess::finish(std::chrono::duration<double> limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    while (pump(std::chrono::milliseconds(50))) {
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            killed = true;
        }
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result_.took = std::chrono::steady_clock::now() - start_;
    result_.exit_code = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result_;
}

ChildResult run_child(const std::vector<std::string> &arguments, std::chrono::duration<double> limit) {
    ChildProcess child(arguments);
    return child.finish(limit);
}

} // namespace quorlind::bench::testing
