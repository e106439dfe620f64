#include "run/load_sampler.h"

#include "result/load_causes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <charconv>
#include <utility>

namespace quorlind::bench {
namespace {

// The library cuts an interval on its first pass at least this long after
// the last cut; its watch sleeps this long between passes, so none is shorter.
constexpr double sample_interval_seconds = 1.0;
constexpr double shortest_pass_seconds = 0.01;

}  // namespace

std::optional<std::uint32_t> worker_index_from_name(std::string_view name) {
    constexpr std::string_view prefix = "quorlind-";
    name = name.substr(0, name.find('\n'));
    if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size()) {
        return std::nullopt;
    }
    std::uint32_t index = 0;
    const char* end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data() + prefix.size(), end, index);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return index;
}

LoadSampler::LoadSampler(std::unique_ptr<LoadProbe> probe) : probe_(std::move(probe)) {}

void LoadSampler::take_reading(const QuorlindProgressEvent& event, double wall_seconds) {
    // A few tries while the workers name themselves; a worker never found
    // must not cost a scan of every thread at every reading.
    if (workers_found_ < workers_ && find_tries_ < 3) {
        workers_found_ = probe_->find_workers(workers_);
        ++find_tries_;
    }
    LoadReading reading;
    probe_->read(reading);
    reading.phase = event.phase;
    reading.elapsed_seconds = event.phase_elapsed_seconds;
    reading.wall_seconds = wall_seconds;
    readings_.push_back(std::move(reading));
}

void LoadSampler::on_progress(const QuorlindProgressEvent& event, double wall_seconds) {
    if (!probe_) {
        return;
    }
    if (event.phase == QUORLIND_PHASE_WARMUP) {
        if (readings_.empty()) {
            workers_ = event.workers;
            take_reading(event, wall_seconds);
        }
        return;
    }
    if (event.phase != QUORLIND_PHASE_MEASUREMENT) {
        return;  // the workers are joined by the final event
    }
    const double x = event.phase_elapsed_seconds;
    if (!measuring_) {
        measuring_ = true;
        workers_ = event.workers;
        take_reading(event, wall_seconds);
        const auto& warmup = readings_.front();
        if (warmup.phase == QUORLIND_PHASE_WARMUP) {
            busy_note_ = busy_warmup_note(figures_between(warmup, readings_.back(), workers_));
        }
        last_event_seconds_ = x;
        return;
    }
    const double gap = x - last_event_seconds_ - reading_seconds_;
    last_event_seconds_ = x;
    reading_seconds_ = 0.0;
    // The library's watch sends an event on its first pass a period after the
    // last, and cuts an interval on its first pass a second after the last
    // cut, so both fall on one train of passes. The gap between events is a
    // whole number of passes; the watch sleeps a little over its shortest
    // pass between them, so the count that makes passes nearest that wins.
    if (gap >= progress_period_seconds && gap < 2.0 * progress_period_seconds) {
        pass_seconds_sum_ += gap / std::max(1.0, std::floor(gap / shortest_pass_seconds));
        ++pass_count_;
    }
    const double pass =
        pass_count_ > 0 ? pass_seconds_sum_ / static_cast<double>(pass_count_) : shortest_pass_seconds;

    // The events either side of the expected cut are read. The cut itself is
    // placed on the train of passes through the later one: counting from a
    // real pass every time keeps the expected cuts from drifting off the
    // library's over a long run, as a fixed lateness would.
    const double threshold = last_cut_seconds_ + sample_interval_seconds;
    const bool before_cut = x >= threshold - progress_period_seconds && x < threshold;
    const bool after_cut = x >= threshold;
    const bool near_end = x >= event.phase_seconds - 1.5 * progress_period_seconds;
    if (after_cut) {
        // After a stall of this thread, the pass that cut is this one.
        last_cut_seconds_ =
            gap > 2.0 * progress_period_seconds ? x : x - std::floor((x - threshold) / pass) * pass;
    }
    if (before_cut || after_cut || near_end) {
        const auto start = std::chrono::steady_clock::now();
        take_reading(event, wall_seconds);
        // The reading lengthens this pass, and so moves the train after it.
        reading_seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
}

RunLoad LoadSampler::figures(const std::vector<QuorlindIntervalSample>& samples) const {
    RunLoad load = align_readings(readings_, samples, workers_);
    if (probe_) {
        load.availability = probe_->availability();
    }
    return load;
}

}  // namespace quorlind::bench
