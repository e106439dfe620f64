#include "result/names.h"

namespace quorlind::bench {

const char* status_name(std::uint32_t status) {
    switch (status) {
        case QUORLIND_STATUS_COMPLETED:
            return "completed";
        case QUORLIND_STATUS_CANCELLED:
            return "cancelled";
        case QUORLIND_STATUS_FAILED:
            return "failed";
        default:
            return "unknown";
    }
}

const char* benchmark_name(std::uint32_t benchmark) {
    switch (benchmark) {
        case QUORLIND_BENCHMARK_SINGLE:
            return "single";
        case QUORLIND_BENCHMARK_PER_CPU:
            return "all";
        default:
            return "unknown";
    }
}

const char* thread_mode_name(ThreadMode mode) {
    switch (mode) {
        case ThreadMode::all:
            return "all";
        case ThreadMode::both:
            return "both";
        case ThreadMode::single:
        default:
            return "single";
    }
}

std::optional<std::uint32_t> benchmark_of_name(std::string_view name) {
    for (const std::uint32_t benchmark : benchmark_kinds) {
        if (name == benchmark_name(benchmark)) {
            return benchmark;
        }
    }
    return std::nullopt;
}

std::optional<ThreadMode> thread_mode_of_name(std::string_view name) {
    for (const ThreadMode mode : {ThreadMode::single, ThreadMode::all, ThreadMode::both}) {
        if (name == thread_mode_name(mode)) {
            return mode;
        }
    }
    return std::nullopt;
}

const char* kind_label(std::uint32_t benchmark) {
    return benchmark == QUORLIND_BENCHMARK_PER_CPU ? "all-threads" : "single-thread";
}

const char* kind_words(std::uint32_t benchmark) {
    return benchmark == QUORLIND_BENCHMARK_PER_CPU ? "all threads" : "single thread";
}

const char* kind_heading(std::uint32_t benchmark) {
    return benchmark == QUORLIND_BENCHMARK_PER_CPU ? "All threads" : "Single thread";
}

}  // namespace quorlind::bench
