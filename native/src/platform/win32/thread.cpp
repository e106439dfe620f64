#include <windows.h>

#include <memory>
#include <string>

#include "common/internal_failure.h"
#include "platform/platform.h"
#include "platform/thread_launch.h"

namespace quorlind::platform {

struct Thread::Native {
    HANDLE handle = nullptr;
    std::shared_ptr<ThreadLaunch> launch;
};

namespace {

struct StartBlock {
    std::shared_ptr<ThreadLaunch> launch;
};

DWORD WINAPI thread_entry(LPVOID argument) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(argument));
    run_thread_body(*start->launch);
    return 0;
}

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // thread names are ASCII
}

// Older Windows lacks SetThreadDescription, so it is looked up at run time
// and a missing one leaves the thread unnamed.
using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);

template <class Function>
Function kernel32_function(const char* name) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)))
                    : nullptr;
}

// A thread that could not be placed or resumed has run nothing of its body:
// end it where it stands, so that the context its body holds is released here as
// after any failed start. Should even that fail, the thread keeps its start
// block, emptied, so that if it ever runs it ends at once.
void abandon_suspended(HANDLE handle, std::unique_ptr<StartBlock> start) {
    const bool ended = TerminateThread(handle, 1) && WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0;
    if (!ended) {
        start->launch->body = nullptr;
        static_cast<void>(start.release());  // a thread that may still run keeps it
    }
    CloseHandle(handle);
}

}  // namespace

std::string os_error_text(long long code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string message = length ? std::string(buffer, length) : std::string("unknown error");
    if (buffer) {
        LocalFree(buffer);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return describe_os_error(message, code);
}

void Thread::NativeDeleter::operator()(Native* native) const noexcept { delete native; }

ThreadEnd Thread::join() {
    if (!native_) {
        throw InternalFailure("joining a thread that is not joinable");
    }
    NativePointer native = std::move(native_);
    const DWORD waited = WaitForSingleObject(native->handle, INFINITE);
    // Taken before CloseHandle, which may overwrite it.
    const DWORD error = waited == WAIT_OBJECT_0 ? ERROR_SUCCESS : GetLastError();
    CloseHandle(native->handle);
    if (waited != WAIT_OBJECT_0) {
        throw InternalFailure("cannot join worker thread: " + os_error_text(error));
    }
    return native->launch->ended_abnormally.load() ? ThreadEnd::abnormal : ThreadEnd::normal;
}

Expected<Thread> start_thread(const std::string& name, std::size_t stack_bytes, std::function<void()> body,
                              ThreadPlacement placement) {
    auto launch = std::make_shared<ThreadLaunch>();
    launch->name = name;
    launch->body = std::move(body);

    Thread::NativePointer native(new Thread::Native());
    native->launch = launch;
    auto start = std::make_unique<StartBlock>(StartBlock{launch});
    // Suspended, so the description is in place before the body runs.
    native->handle = CreateThread(nullptr, stack_bytes, &thread_entry, start.get(),
                                  CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!native->handle) {
        return Expected<Thread>::failure(os_error_text(GetLastError()));
    }

    if (auto set_description = kernel32_function<SetThreadDescriptionFunction>("SetThreadDescription")) {
        set_description(native->handle, widen(name).c_str());
    }
    const auto abandon = [&](DWORD error) {
        abandon_suspended(native->handle, std::move(start));
        return Expected<Thread>::failure(os_error_text(error));
    };
    // Windows starts a thread in its process's primary group and keeps it
    // there, so a worker meant for another group moves before it runs.
    if (placement.placed) {
        GROUP_AFFINITY affinity{};
        affinity.Mask = static_cast<KAFFINITY>(placement.processors);
        affinity.Group = placement.group;
        if (!SetThreadGroupAffinity(native->handle, &affinity, nullptr)) {
            return abandon(GetLastError());
        }
    }
    // A thread left suspended would make its join wait for ever.
    if (ResumeThread(native->handle) == static_cast<DWORD>(-1)) {
        return abandon(GetLastError());
    }
    static_cast<void>(start.release());  // now owned by the thread
    return Thread(std::move(native));
}

}  // namespace quorlind::platform
