#include "kernel/word_table.h"

#include <new>
#include <string>

#include "common/internal_failure.h"

namespace quorlind {

std::unique_ptr<std::uint64_t[]> WordTable::allocate_from_heap(std::size_t words) {
    return std::unique_ptr<std::uint64_t[]>(new (std::nothrow) std::uint64_t[words]);
}

bool WordTable::reserve_exactly(std::size_t capacity, Allocator allocate) {
    auto words = allocate(capacity);
    if (!words) {
        return false;
    }
    words_ = std::move(words);
    capacity_ = capacity;
    size_ = 0;
    return true;
}

void WordTable::push_back(std::uint64_t word) {
    if (size_ == capacity_) {
        throw InternalFailure("word table appended beyond its storage of " + std::to_string(capacity_) +
                              " words");
    }
    words_[size_++] = word;
}

void WordTable::fail_out_of_range(std::size_t index) const {
    throw InternalFailure("word table index " + std::to_string(index) + " is out of range for its " +
                          std::to_string(size_) + " words");
}

}  // namespace quorlind
