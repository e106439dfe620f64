#pragma once

#include "run/load_figures.h"

#include <quorlind.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlind::bench {

// What the operating system counts for this process and machine. One
// implementation per platform (run/linux/, run/win32/).
class LoadProbe {
public:
    virtual ~LoadProbe() = default;
    // Looks for the threads named quorlind-0 .. quorlind-(workers-1) and
    // returns how many it found.
    virtual std::size_t find_workers(std::uint32_t workers) = 0;
    // Fills everything but the phase and the times; whatever cannot be read
    // stays empty.
    virtual void read(LoadReading& reading) = 0;
    // Which figures this machine offers, and why not where it does not.
    virtual std::vector<FigureAvailability> availability() const = 0;
};

// "quorlind-12" (a line end may follow) -> 12; any other thread name -> nothing.
std::optional<std::uint32_t> worker_index_from_name(std::string_view name);

// This platform's probe of the running process. Make it before the run
// starts: where Windows cannot tell a thread's name, the workers are the
// threads that appear after it was made.
std::unique_ptr<LoadProbe> make_load_probe();

// The library's least time between progress events of a phase.
inline constexpr double progress_period_seconds = 0.1;

// Samples the load from the progress callback, on the thread that calls it:
// no thread of its own, nothing added to a worker. It reads at the start of
// the warm-up and of the measurement, then once near each interval boundary
// the library will cut, and near the end, so a run costs a few small files
// per worker and second. Not thread-safe: one caller, as the callback is.
class LoadSampler {
public:
    explicit LoadSampler(std::unique_ptr<LoadProbe> probe);

    // wall_seconds: host time since the run began.
    void on_progress(const QuorlindProgressEvent& event, double wall_seconds);

    // The figures tied to the run's samples, once it has ended.
    RunLoad figures(const std::vector<QuorlindIntervalSample>& samples) const;

    // Set once the measurement begins, if the warm-up found the machine busy.
    const std::optional<std::string>& busy_note() const { return busy_note_; }

    const std::vector<LoadReading>& readings() const { return readings_; }

private:
    void take_reading(const QuorlindProgressEvent& event, double wall_seconds);

    std::unique_ptr<LoadProbe> probe_;
    std::vector<LoadReading> readings_;
    std::uint32_t workers_ = 0;
    std::size_t workers_found_ = 0;
    int find_tries_ = 0;
    std::optional<std::string> busy_note_;
    // The measurement's events: where the library last cut, as far as the
    // events tell, and the length of its watch's passes.
    bool measuring_ = false;
    double last_cut_seconds_ = 0.0;
    double last_event_seconds_ = 0.0;
    double reading_seconds_ = 0.0;
    double pass_seconds_sum_ = 0.0;
    std::size_t pass_count_ = 0;
};

}  // namespace quorlind::bench
