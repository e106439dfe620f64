#pragma once

// What the stress suite needs of a host: owned handles, configurations and a
// thread-safe list of what went wrong on threads other than the test's own.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "quorlind.h"

namespace quorlind::testing {

inline QuorlindRunConfig config_of(std::uint32_t benchmark, double warmup, double measurement) {
    QuorlindRunConfig config;
    quorlind_default_config(&config);
    config.benchmark = benchmark;
    config.warmup_seconds = warmup;
    config.measurement_seconds = measurement;
    return config;
}

class OwnedHandle {
public:
    OwnedHandle() : handle_(quorlind_create()) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { quorlind_free(handle_); }

    QuorlindRunHandle* get() const { return handle_; }

    // The stored summary; all zero (abi_version 0) while there is none.
    QuorlindRunSummary summary() const {
        QuorlindRunSummary summary{};
        quorlind_result(handle_, &summary);
        return summary;
    }
    std::string reason() const {
        const char* text = quorlind_reason(handle_);
        return text ? text : "<no outcome>";
    }

private:
    QuorlindRunHandle* handle_;
};

// Failures seen on worker threads of a test, reported by the test's thread:
// assertions stay where the test runner expects them.
class Problems {
public:
    void add(std::string problem) {
        std::lock_guard lock(mutex_);
        if (list_.size() < 20) {
            list_.push_back(std::move(problem));
        }
        ++count_;
    }
    std::string describe() const {
        std::lock_guard lock(mutex_);
        std::string text = std::to_string(count_) + " problem(s)";
        for (const auto& problem : list_) {
            text += "\n  " + problem;
        }
        return text;
    }
    bool empty() const {
        std::lock_guard lock(mutex_);
        return count_ == 0;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> list_;
    std::size_t count_ = 0;
};

inline double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace quorlind::testing
