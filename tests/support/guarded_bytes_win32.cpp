#include <stdexcept>
#include <windows.h>

#include "guarded_bytes.h"

namespace quorlind::testing {

GuardedBytes::GuardedBytes(std::size_t size) : size_(size) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    if (size > page) {
        throw std::invalid_argument("guarded bytes are limited to one page");
    }
    mapping_bytes_ = 2 * page;
    mapping_ = VirtualAlloc(nullptr, mapping_bytes_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!mapping_) {
        throw std::runtime_error("VirtualAlloc failed");
    }
    auto* base = static_cast<unsigned char*>(mapping_);
    DWORD previous = 0;
    if (!VirtualProtect(base + page, page, PAGE_NOACCESS, &previous)) {
        VirtualFree(mapping_, 0, MEM_RELEASE);
        throw std::runtime_error("VirtualProtect failed");
    }
    data_ = base + page - size;
}

GuardedBytes::~GuardedBytes() { VirtualFree(mapping_, 0, MEM_RELEASE); }

}  // namespace quorlind::testing
