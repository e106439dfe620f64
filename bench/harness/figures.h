#pragma once

#include <chrono>
#include <cstdio>

namespace quorlind::figures {

using Clock = std::chrono::steady_clock;

inline double seconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// How long and how often each figure is measured.
struct Settings {
    bool quick = false;
    double run_seconds = 1.5;  // the length of each measured run
    int rounds = 10;           // alternations of the two sides of a comparison
};

// One figure per line, "name value", for scripts/bench.sh to tabulate; lines
// starting with '#' carry the individual rounds for a reader.
inline void emit(const char* name, double value) {
    std::printf("%s %.6g\n", name, value);
    std::fflush(stdout);
}

// A bare loop against quorlind_run kind 1, in operations per second and per
// second of processor time; also the bare loop's time per kernel call, and the
// calling thread's processor time during the library's runs.
void measure_overhead(const Settings& settings);

// Kind 2 against kind 1, alternating.
void measure_scaling(const Settings& settings);

// From quorlind_cancel to quorlind_run's return, and how far a whole run
// outlasts its warm-up, measurement and workload build.
void measure_responsiveness(const Settings& settings);

// One kind 1 run of settings.run_seconds without a warm-up.
void run_once(const Settings& settings);

}  // namespace quorlind::figures
