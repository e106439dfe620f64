#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "common/expected.h"

namespace quorlind::platform {

// What a new thread needs, shared by the thread and its join handle. Both
// platforms start their threads through run_thread_body, so an escaping
// exception is handled the same way everywhere.
struct ThreadLaunch {
    std::string name;
    std::function<void()> body;
    std::atomic<bool> ended_abnormally{false};
};

// Runs the body, catching everything: an exception must never leave a
// thread's entry (it would end the host's process), it only marks the end as
// abnormal for the join to report.
void run_thread_body(ThreadLaunch& launch) noexcept;

// "<message> (os error <code>)", the form in which system errors travel.
std::string describe_os_error(const std::string& message, long long code);

}  // namespace quorlind::platform
