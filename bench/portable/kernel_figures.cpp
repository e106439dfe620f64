#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "kernel/kernel.h"
#include "portable/figures.h"
#include "reference/reference_kernel.h"

namespace quorlind::figures {

namespace {

struct Subject {
    const char* name;
    std::function<void()> call;
    double* best_ns;
};

// Calls `subject` for about `seconds` and returns nanoseconds per call; the
// clock is read every few calls so that its cost stays out of the figure.
double ns_per_call(const Subject& subject, double seconds) {
    const Clock::time_point start = Clock::now();
    std::uint64_t calls = 0;
    double elapsed = 0;
    do {
        for (int i = 0; i < 4; ++i)
            subject.call();
        calls += 4;
        elapsed = seconds_between(start, Clock::now());
    } while (elapsed < seconds);
    return elapsed * 1e9 / static_cast<double>(calls);
}

}  // namespace

bool measure_kernel(const Settings& settings, KernelFigures& figures) {
    const char* difference = nullptr;
    if (!reference::agrees_with_library(settings.quick ? 4 : 64, &difference)) {
        std::fprintf(stderr, "reference kernel disagrees with the library's: %s\n", difference);
        return false;
    }

    WorkloadState ours = WorkloadState::generate(0).value();
    WorkloadState theirs = WorkloadState::generate(0).value();
    WorkloadState phases = WorkloadState::generate(0).value();
    volatile std::uint64_t sink = 0;
    std::uint64_t acc = phases.carry;
    std::uint64_t seed = 0;

    const std::vector<Subject> subjects = {
        {"kernel_ns", [&] { sink = run_kernel(ours); }, &figures.kernel_ns},
        {"reference_kernel_ns", [&] { sink = reference::run_kernel(theirs); }, &figures.reference_kernel_ns},
        {"premix_ns", [&] { sink = acc = detail::premix(acc); }, &figures.premix_ns},
        {"scan_ns", [&] { sink = acc = detail::scan_text(acc, phases.text).acc; }, &figures.scan_ns},
        {"reference_scan_ns", [&] { sink = acc = reference::scan_text(acc, phases.text).acc; },
         &figures.reference_scan_ns},
        {"walk_ns", [&] { sink = acc = detail::walk_table(acc, phases.table); }, &figures.walk_ns},
        {"generate_ns", [&] { sink = WorkloadState::generate(seed++).value().carry; }, &figures.generate_ns},
    };

    // Rounds interleave the subjects, so a disturbance from another process
    // hits all of them alike; the best round is the least disturbed.
    const int rounds = settings.quick ? 2 : 15;
    const double round_seconds = settings.quick ? 0.01 : 0.1;
    for (const Subject& subject : subjects)
        *subject.best_ns = std::numeric_limits<double>::infinity();
    for (int round = 0; round < rounds; ++round)
        for (const Subject& subject : subjects)
            *subject.best_ns = std::min(*subject.best_ns, ns_per_call(subject, round_seconds));
    for (const Subject& subject : subjects)
        emit(subject.name, *subject.best_ns);
    emit("kernel_vs_reference", figures.kernel_ns / figures.reference_kernel_ns);
    return true;
}

}  // namespace quorlind::figures
