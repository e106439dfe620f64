#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorlind {

// The workload's table of 64-bit words: storage obtained once, in a single
// allocation that may fail, then filled by appending. Every access checks its
// index, so a wrong index ends the worker instead of touching foreign memory.
class WordTable {
public:
    // Returns null when the storage cannot be obtained. Replaceable so that
    // tests can make the allocation fail for real.
    using Allocator = std::unique_ptr<std::uint64_t[]> (*)(std::size_t words);

    static std::unique_ptr<std::uint64_t[]> allocate_from_heap(std::size_t words);

    // Obtains storage for exactly `capacity` words; false if that failed.
    bool reserve_exactly(std::size_t capacity, Allocator allocate);

    void push_back(std::uint64_t word);
    std::size_t size() const noexcept { return size_; }

    std::uint64_t load(std::size_t index) const {
        if (index >= size_) [[unlikely]] {
            fail_out_of_range(index);
        }
        return words_[index];
    }

    void store(std::size_t index, std::uint64_t word) {
        if (index >= size_) [[unlikely]] {
            fail_out_of_range(index);
        }
        words_[index] = word;
    }

private:
    [[noreturn]] void fail_out_of_range(std::size_t index) const;

    std::unique_ptr<std::uint64_t[]> words_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

}  // namespace quorlind
