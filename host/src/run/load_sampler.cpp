#include "run/load_sampler.h"

#include "run/load_causes.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace quorlind::bench {
namespace {

// The library cuts an interval on its first pass at least this long after
// the last cut.
constexpr double sample_interval_seconds = 1.0;

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
    if (workers_found_ < workers_) {
        workers_found_ = probe_->find_workers(workers_);
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
    event_gaps_seconds_ += x - last_event_seconds_;
    ++event_gaps_;
    last_event_seconds_ = x;

    // Events and cuts fall on the same passes of the library's watch, so a
    // cut comes as late after its second as an event after its period: the
    // mean gap beyond the period, half a pass. Adding it keeps the expected
    // cuts from drifting away from the real ones over a long run. Reading
    // half a period early centres the reading on the expected cut.
    const double next_cut = expected_cut_seconds_ + sample_interval_seconds;
    const bool near_cut = x >= next_cut - progress_period_seconds / 2.0;
    const bool near_end = x >= event.phase_seconds - 1.5 * progress_period_seconds;
    if (near_cut) {
        const double lateness =
            std::clamp(event_gaps_seconds_ / static_cast<double>(event_gaps_) - progress_period_seconds, 0.0,
                       progress_period_seconds);
        // After a stall of this thread, the watch's pass that cut is this one.
        expected_cut_seconds_ = x > next_cut + progress_period_seconds ? x : next_cut + lateness;
    }
    if (near_cut || near_end) {
        take_reading(event, wall_seconds);
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
