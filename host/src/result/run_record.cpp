#include "result/run_record.h"

#include "app/exit_codes.h"

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

int exit_code_for(const std::vector<RunRecord>& runs) {
    int code = exit_code::completed;
    for (const auto& run : runs) {
        if (run.summary.status == QUORLIND_STATUS_CANCELLED) {
            return exit_code::interrupted;
        }
        if (run.summary.status != QUORLIND_STATUS_COMPLETED) {
            code = exit_code::run_failed;
        }
    }
    return code;
}

std::vector<std::uint32_t> planned_benchmarks(ThreadMode mode, unsigned repeat) {
    std::vector<std::uint32_t> plan;
    for (unsigned round = 0; round < repeat; ++round) {
        if (mode != ThreadMode::all) {
            plan.push_back(QUORLIND_BENCHMARK_SINGLE);
        }
        if (mode != ThreadMode::single) {
            plan.push_back(QUORLIND_BENCHMARK_PER_CPU);
        }
    }
    return plan;
}

}  // namespace quorlind::bench
