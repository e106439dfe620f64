#include <stdexcept>
#include <unistd.h>

#include <sys/mman.h>

#include "guarded_bytes.h"

namespace quorlind::testing {

GuardedBytes::GuardedBytes(std::size_t size) : size_(size) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (size > page) {
        throw std::invalid_argument("guarded bytes are limited to one page");
    }
    mapping_bytes_ = 2 * page;
    void* mapping = mmap(nullptr, mapping_bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        throw std::runtime_error("mmap failed");
    }
    mapping_ = mapping;
    auto* base = static_cast<unsigned char*>(mapping);
    if (mprotect(base + page, page, PROT_NONE) != 0) {
        munmap(mapping_, mapping_bytes_);
        throw std::runtime_error("mprotect failed");
    }
    data_ = base + page - size;
}

GuardedBytes::~GuardedBytes() { munmap(mapping_, mapping_bytes_); }

}  // namespace quorlind::testing
