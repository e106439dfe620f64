#include "platform/thread_launch.h"

namespace quorlind::platform {

void run_thread_body(ThreadLaunch& launch) noexcept {
    try {
        launch.body();
    } catch (...) {
        launch.ended_abnormally.store(true);
    }
    // Release what the body captured on this thread, as a normal end would.
    try {
        launch.body = nullptr;
    } catch (...) {
        launch.ended_abnormally.store(true);
    }
}

std::string describe_os_error(const std::string& message, long long code) {
    return message + " (os error " + std::to_string(code) + ")";
}

}  // namespace quorlind::platform
