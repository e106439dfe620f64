#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "kernel/kernel.h"
#include "harness/figures.h"
#include "harness/cpu_time.h"
#include "quorlind.h"

namespace quorlind::figures {

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Rate {
    double ops_per_second = 0;
    double ops_per_cpu_second = 0;  // per second that the working threads ran
    double build_seconds = 0;       // the bare loop's: building its workload
};

// What the library's worker loop does, without the flags, the shared counter
// and the library around it: batches of 8 on a thread of its own, built the
// same way, for `seconds` from its first batch.
Rate bare_loop(double seconds) {
    Rate rate;
    std::thread worker([&] {
        const double cpu_before = calling_thread_cpu_seconds();
        const Clock::time_point build = Clock::now();
        WorkloadState state = WorkloadState::generate(0).value();
        const Clock::time_point start = Clock::now();
        rate.build_seconds = seconds_between(build, start);
        const Clock::time_point end =
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        std::uint64_t operations = 0;
        while (Clock::now() < end) {
            // run_kernel's result cannot be optimised away, used or not.
            for (int call = 0; call < 8; ++call) {
                run_kernel(state);
            }
            operations += 8;
        }
        const auto done = static_cast<double>(operations);
        rate.ops_per_second = done / seconds_between(start, Clock::now());
        rate.ops_per_cpu_second = done / (calling_thread_cpu_seconds() - cpu_before);
    });
    worker.join();
    return rate;
}

struct LibraryRun {
    std::uint32_t status = QUORLIND_STATUS_FAILED;
    QuorlindRunSummary summary{};
    double wall_seconds = 0;             // quorlind_run's call to its return
    double caller_cpu_seconds = 0;       // the calling thread's processor time meanwhile
    double worker_cpu_seconds = 0;       // every other thread's
    double cancel_latency_seconds = -1;  // from quorlind_cancel to the return, when cancelled

    // Meaningful without a warm-up only: the summary counts measured work.
    Rate rate() const {
        const auto done = static_cast<double>(summary.total_operations);
        return {summary.ops_per_second, done / worker_cpu_seconds};
    }
};

struct RunWatch {
    QuorlindRunHandle* handle = nullptr;
    std::atomic<bool> first_event{false};
};

void on_progress(const QuorlindProgressEvent*, void* user_data) {
    static_cast<RunWatch*>(user_data)->first_event.store(true);
}

// One quorlind_run; with cancel_after_seconds >= 0 another thread cancels the
// run that long after its first progress event.
LibraryRun run_library(std::uint32_t kind, double warmup_seconds, double run_seconds,
                       double cancel_after_seconds = -1) {
    LibraryRun run;
    RunWatch watch;
    watch.handle = quorlind_create();
    QuorlindRunConfig config{};
    quorlind_default_config(&config);
    config.benchmark = kind;
    config.warmup_seconds = warmup_seconds;
    config.measurement_seconds = run_seconds;

    std::atomic<bool> returned{false};
    Clock::time_point cancelled_at{};
    std::thread canceller;
    if (cancel_after_seconds >= 0) {
        canceller = std::thread([&] {
            while (!watch.first_event.load() && !returned.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::duration<double>(cancel_after_seconds));
            cancelled_at = Clock::now();
            quorlind_cancel(watch.handle);
        });
    }

    const double process_before = process_cpu_seconds();
    const double caller_before = calling_thread_cpu_seconds();
    const Clock::time_point called = Clock::now();
    run.status = quorlind_run(watch.handle, &config, &on_progress, &watch);
    const Clock::time_point finished = Clock::now();
    run.caller_cpu_seconds = calling_thread_cpu_seconds() - caller_before;
    run.worker_cpu_seconds = process_cpu_seconds() - process_before - run.caller_cpu_seconds;
    run.wall_seconds = seconds_between(called, finished);
    returned.store(true);
    if (canceller.joinable()) {
        canceller.join();
        run.cancel_latency_seconds = seconds_between(cancelled_at, finished);
    }
    quorlind_result(watch.handle, &run.summary);
    if (run.status == QUORLIND_STATUS_FAILED) {
        std::fprintf(stderr, "run failed: %s\n", quorlind_reason(watch.handle));
    }
    quorlind_free(watch.handle);
    return run;
}

}  // namespace

// Rounds alternate the two sides, and which of them goes first, so that a
// disturbance lasting a few seconds falls on both. Another process can only
// slow a side down, so the best round of each side is the least disturbed
// estimate of its rate; the median of the rounds' ratios, in wall time and
// per processor-second, shows how much the disturbances spread. Without a
// warm-up, so that every operation counts against the processor time of the
// threads that did it.
void measure_overhead(const Settings& settings) {
    std::vector<double> wall_ratios, cpu_ratios;
    double best_bare = 0, best_library = 0;
    double caller_cpu = 0, wall = 0;
    for (int round = 0; round < settings.rounds; ++round) {
        Rate bare;
        if (round % 2 == 0) {
            bare = bare_loop(settings.run_seconds);
        }
        const LibraryRun run = run_library(QUORLIND_BENCHMARK_SINGLE, 0.0, settings.run_seconds);
        if (round % 2 == 1) {
            bare = bare_loop(settings.run_seconds);
        }
        const Rate library = run.rate();
        wall_ratios.push_back(library.ops_per_second / bare.ops_per_second);
        cpu_ratios.push_back(library.ops_per_cpu_second / bare.ops_per_cpu_second);
        best_bare = std::max(best_bare, bare.ops_per_second);
        best_library = std::max(best_library, library.ops_per_second);
        caller_cpu += run.caller_cpu_seconds;
        wall += run.wall_seconds;
        std::printf(
            "# overhead round %d: bare %.1f ops/s (%.1f per CPU-s), library %.1f ops/s (%.1f per CPU-s), "
            "ratio %.4f (%.4f per CPU-s)\n",
            round, bare.ops_per_second, bare.ops_per_cpu_second, library.ops_per_second,
            library.ops_per_cpu_second, wall_ratios.back(), cpu_ratios.back());
    }
    emit("bare_best_ops_per_second", best_bare);
    emit("bare_kernel_ns", 1e9 / best_bare);
    emit("library_best_ops_per_second", best_library);
    emit("library_vs_bare", best_library / best_bare);
    emit("library_vs_bare_median", median(wall_ratios));
    emit("library_vs_bare_cpu_median", median(cpu_ratios));
    emit("coordinator_cpu", caller_cpu / wall);
}

// As the overhead: best rounds, and the medians of the rounds' ratios. Per
// processor-second the figure leaves out the time that other processes took
// from the workers, which an idle machine would not.
void measure_scaling(const Settings& settings) {
    std::vector<double> wall_ratios, cpu_ratios;
    double best_single = 0, best_all = 0;
    std::uint32_t workers = 0;
    for (int round = 0; round < settings.rounds; ++round) {
        LibraryRun single;
        if (round % 2 == 0) {
            single = run_library(QUORLIND_BENCHMARK_SINGLE, 0.0, settings.run_seconds);
        }
        const LibraryRun all = run_library(QUORLIND_BENCHMARK_PER_CPU, 0.0, settings.run_seconds);
        if (round % 2 == 1) {
            single = run_library(QUORLIND_BENCHMARK_SINGLE, 0.0, settings.run_seconds);
        }
        workers = all.summary.workers;
        const Rate one = single.rate(), many = all.rate();
        best_single = std::max(best_single, one.ops_per_second);
        best_all = std::max(best_all, many.ops_per_second);
        wall_ratios.push_back(many.ops_per_second / workers / one.ops_per_second);
        // Per processor-second already is per worker.
        cpu_ratios.push_back(many.ops_per_cpu_second / one.ops_per_cpu_second);
        std::printf(
            "# scaling round %d: kind 1 %.1f ops/s, kind 2 %.1f ops/s on %u workers (%.2f CPU-s per s), "
            "per worker %.4f (%.4f per CPU-s)\n",
            round, one.ops_per_second, many.ops_per_second, workers,
            all.worker_cpu_seconds / all.wall_seconds, wall_ratios.back(), cpu_ratios.back());
    }
    emit("workers", workers);
    emit("per_worker_scaling", best_all / workers / best_single);
    emit("per_worker_scaling_median", median(wall_ratios));
    emit("per_worker_scaling_cpu_median", median(cpu_ratios));
}

void run_once(const Settings& settings) {
    const LibraryRun run = run_library(QUORLIND_BENCHMARK_SINGLE, 0.0, settings.run_seconds);
    emit("status", run.status);
    emit("operations", static_cast<double>(run.summary.total_operations));
}

void measure_responsiveness(const Settings& settings) {
    // A batch and a workload build at this machine's present pace, from a
    // short bare loop: the bounds below are in those terms.
    const Rate pace = bare_loop(settings.quick ? 0.05 : 0.3);
    emit("batch_ms", 8 / pace.ops_per_second * 1e3);

    // Cancel at offsets that fall at different points between two polls.
    std::vector<double> latencies;
    const int cancels = settings.quick ? 2 : 10;
    for (int i = 0; i < cancels; ++i) {
        const double offset = 0.05 + 0.0137 * i;
        const LibraryRun run = run_library(QUORLIND_BENCHMARK_SINGLE, 0.02, 60.0, offset);
        if (run.status != QUORLIND_STATUS_CANCELLED) {
            std::printf("# cancel %d: run ended with status %u\n", i, run.status);
        }
        latencies.push_back(run.cancel_latency_seconds);
        std::printf("# cancel %d at %.4f s: returned after %.3f ms\n", i, offset,
                    run.cancel_latency_seconds * 1e3);
    }
    emit("cancel_ms_max", *std::max_element(latencies.begin(), latencies.end()) * 1e3);

    // Beyond the requested lengths and the building of the one workload.
    std::vector<double> overshoots;
    const int runs = settings.quick ? 2 : 5;
    const double warmup = 0.1, measurement = settings.quick ? 0.1 : 0.5;
    for (int i = 0; i < runs; ++i) {
        const LibraryRun run = run_library(QUORLIND_BENCHMARK_SINGLE, warmup, measurement);
        overshoots.push_back(run.wall_seconds - warmup - measurement - pace.build_seconds);
        std::printf("# run %d of %.1f s + %.1f s: returned after %.4f s\n", i, warmup, measurement,
                    run.wall_seconds);
    }
    emit("overshoot_ms_max", *std::max_element(overshoots.begin(), overshoots.end()) * 1e3);
}

}  // namespace quorlind::figures
