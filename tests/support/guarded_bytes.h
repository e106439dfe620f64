#pragma once

// Memory for records that a host may pass shorter than the library's own:
// the bytes end exactly where an inaccessible page begins, so reading one
// byte past them faults, natively and under Wine alike. One implementation
// per platform, chosen by the build.

#include <cstddef>

namespace quorlind::testing {

class GuardedBytes {
public:
    // `size` bytes, at most one page, whose last byte touches the guard page.
    explicit GuardedBytes(std::size_t size);
    ~GuardedBytes();
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    void* mapping_ = nullptr;
    std::size_t mapping_bytes_ = 0;
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace quorlind::testing
