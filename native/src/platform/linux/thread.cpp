#include <pthread.h>

#include <cstring>
#include <memory>

#include "common/internal_failure.h"
#include "platform/platform.h"
#include "platform/thread_launch.h"

namespace quorlind::platform {

struct Thread::Native {
    pthread_t thread{};
    std::shared_ptr<ThreadLaunch> launch;
};

namespace {

struct StartBlock {
    std::shared_ptr<ThreadLaunch> launch;
};

extern "C" void* thread_entry(void* argument) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(argument));
    // Linux limits names to 15 bytes; a longer one is left unset rather than
    // failing the thread.
    pthread_setname_np(pthread_self(), start->launch->name.c_str());
    run_thread_body(*start->launch);
    return nullptr;
}

}  // namespace

std::string os_error_text(long long code) {
    char buffer[256] = {};
    const int error = static_cast<int>(code);
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char* message = strerror_r(error, buffer, sizeof buffer);
#else
    const char* message = strerror_r(error, buffer, sizeof buffer) == 0 ? buffer : "unknown error";
#endif
    return describe_os_error(message, code);
}

void Thread::NativeDeleter::operator()(Native* native) const noexcept { delete native; }

ThreadEnd Thread::join() {
    if (!native_) {
        throw InternalFailure("joining a thread that is not joinable");
    }
    NativePointer native = std::move(native_);
    if (const int code = pthread_join(native->thread, nullptr); code != 0) {
        throw InternalFailure("cannot join worker thread: " + os_error_text(code));
    }
    return native->launch->ended_abnormally.load() ? ThreadEnd::abnormal : ThreadEnd::normal;
}

// Linux has no processor groups: a thread runs anywhere in the affinity mask
// it inherits, the one that was counted, so there is nothing to place.
Expected<Thread> start_thread(const std::string& name, std::size_t stack_bytes, std::function<void()> body,
                              ThreadPlacement /*placement*/) {
    auto launch = std::make_shared<ThreadLaunch>();
    launch->name = name;
    launch->body = std::move(body);

    pthread_attr_t attributes;
    if (const int code = pthread_attr_init(&attributes); code != 0) {
        return Expected<Thread>::failure(os_error_text(code));
    }
    int code = pthread_attr_setstacksize(&attributes, stack_bytes);

    Thread::NativePointer native(new Thread::Native());
    native->launch = launch;
    auto start = std::make_unique<StartBlock>(StartBlock{launch});
    if (code == 0) {
        code = pthread_create(&native->thread, &attributes, &thread_entry, start.get());
    }
    pthread_attr_destroy(&attributes);
    if (code != 0) {
        return Expected<Thread>::failure(os_error_text(code));
    }
    static_cast<void>(start.release());  // now owned by the thread
    return Thread(std::move(native));
}

}  // namespace quorlind::platform
