#include <windows.h>

#include "thread_probe.h"

namespace quorlind::testing {

std::string current_thread_name() {
    // Looked up at run time, as the library does: older Windows lacks it.
    using GetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    auto get_description = kernel32 ? reinterpret_cast<GetThreadDescriptionFunction>(reinterpret_cast<void*>(
                                          GetProcAddress(kernel32, "GetThreadDescription")))
                                    : nullptr;
    if (!get_description) {
        return {};
    }
    PWSTR description = nullptr;
    if (FAILED(get_description(GetCurrentThread(), &description)) || !description) {
        return {};
    }
    std::string name;
    for (PWSTR c = description; *c; ++c) {
        name.push_back(static_cast<char>(*c));  // the library's names are ASCII
    }
    LocalFree(description);
    return name;
}

std::size_t current_thread_stack_bytes() {
    ULONG_PTR low = 0, high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    return static_cast<std::size_t>(high - low);
}

std::string current_thread_processors() {
    GROUP_AFFINITY affinity{};
    if (!GetThreadGroupAffinity(GetCurrentThread(), &affinity)) {
        return {};
    }
    return "group " + std::to_string(affinity.Group) + " mask " + std::to_string(affinity.Mask);
}

}  // namespace quorlind::testing
