#pragma once

#include <atomic>
#include <cstdint>

#include "kernel/kernel.h"
#include "lib/timing.h"
#include "lib/worker_context.h"

namespace quorlind {

inline constexpr std::uint64_t batch_size = 8;

// The body of one worker thread: build, report, wait at the gate, run the
// kernel in batches until stop, cancel or end, then publish active time and
// checksum. Internal failures propagate to the thread's entry, whose join then
// reports an abnormal end.
void run_worker(WorkerContext context);

namespace detail {

struct MeasuredWork {
    std::uint64_t last_result = 0;  // 0 when no batch ran
    ClockInstant finished{};        // the clock reading after the loop
};

// The measuring loop, with the clock as a parameter so that tests can script
// its readings. Per batch: one clock read, two flag loads, eight kernel calls,
// one atomic add. Nothing else belongs here: no allocation, no lock, no
// system call beyond the clock.
template <class Clock>
MeasuredWork measure(WorkloadState& state, const Timing& timing, const StopFlag& stop,
                     const CancelFlag& cancel, WorkerCounters& counters, Clock&& clock) {
    MeasuredWork work;
    for (;;) {
        const ClockInstant t = clock();
        if (stop.is_raised() || cancel.is_requested() || t >= timing.end) {
            break;
        }
        // A batch belongs wholly to the phase in which it starts.
        std::atomic<std::uint64_t>& counter =
            t < timing.warm_end ? counters.warmup_ops : counters.measured_ops;
        for (std::uint64_t call = 0; call < batch_size; ++call) {
            work.last_result = run_kernel(state);
        }
        counter.fetch_add(batch_size, std::memory_order_relaxed);
    }
    work.finished = clock();
    return work;
}

}  // namespace detail
}  // namespace quorlind
