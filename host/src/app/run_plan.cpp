#include "app/run_plan.h"

#include <quorlind.h>

namespace quorlind::bench {

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
