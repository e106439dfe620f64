#include "run/progress.h"

#include "util/number_format.h"

#include <algorithm>
#include <cmath>

namespace quorlind::bench {
namespace {

constexpr int terminal_bar_width = 24;

// The rate shown is the phase's so far. In its first moments the workers'
// first batches count against almost no time, which read several times the
// real rate, so it waits for a second of the phase.
constexpr double min_rate_seconds = 1.0;

std::string pad_right(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string bar(double fraction, int width) {
    const auto filled = static_cast<std::size_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * width));
    std::string text(static_cast<std::size_t>(width) + 2, '.');
    text.front() = '[';
    text.back() = ']';
    text.replace(1, filled, filled, '#');
    return text;
}

const char* phase_name(std::uint32_t phase) {
    switch (phase) {
        case QUORLIND_PHASE_WARMUP:
            return "warm-up";
        case QUORLIND_PHASE_MEASUREMENT:
            return "measurement";
        case QUORLIND_PHASE_COMPLETED:
            return "completed";
        case QUORLIND_PHASE_CANCELLED:
            return "cancelled";
        case QUORLIND_PHASE_FAILED:
            return "failed";
        default:
            return "running";
    }
}

bool is_final_phase(std::uint32_t phase) {
    return phase == QUORLIND_PHASE_COMPLETED || phase == QUORLIND_PHASE_CANCELLED ||
           phase == QUORLIND_PHASE_FAILED;
}

}  // namespace

double remaining_seconds(const QuorlindProgressEvent& event, const RunDurations& plan) {
    double remaining = 0.0;
    if (event.phase == QUORLIND_PHASE_WARMUP) {
        remaining = plan.warmup_seconds - event.phase_elapsed_seconds + plan.measurement_seconds;
    } else if (event.phase == QUORLIND_PHASE_MEASUREMENT) {
        remaining = plan.measurement_seconds - event.phase_elapsed_seconds;
    }
    return std::max(remaining, 0.0);
}

std::string describe_progress(const QuorlindProgressEvent& event, const RunDurations& plan,
                              double elapsed_seconds, int bar_width) {
    std::string line = pad_right(phase_name(event.phase), 12);
    if (bar_width > 0) {
        line += bar(event.progress, bar_width) + ' ';
    }
    const double percent = std::clamp(event.progress, 0.0, 1.0) * 100.0;
    const std::string percent_text = format_fixed(std::floor(percent), 0) + "%";
    line += std::string(4 - std::min<std::size_t>(4, percent_text.size()), ' ') + percent_text;
    line += "  elapsed " + format_clock(elapsed_seconds);
    if (!is_final_phase(event.phase)) {
        line += "  left " + format_clock(std::ceil(remaining_seconds(event, plan)));
    }
    if (event.operations == 0 || event.phase_elapsed_seconds <= 0.0) {
        return line;
    }
    const double rate = static_cast<double>(event.operations) / event.phase_elapsed_seconds;
    if (is_final_phase(event.phase)) {
        line += "  " + format_rate(rate) + " ops/s";
    } else if (event.phase_elapsed_seconds >= min_rate_seconds) {
        line += "  " + format_rate(rate) + " ops/s so far";
    }
    return line;
}

ProgressReporter::ProgressReporter(ProgressStyle style, std::ostream& out, RunDurations plan,
                                   std::string label, double redraw_seconds, double plain_every_seconds)
    : style_(style),
      out_(out),
      plan_(plan),
      redraw_seconds_(redraw_seconds),
      plain_every_seconds_(plain_every_seconds),
      label_(label.empty() ? std::string() : std::move(label) + "  ") {}

void ProgressReporter::on_event(const QuorlindProgressEvent& event, double elapsed_seconds) {
    if (style_ == ProgressStyle::none || finished_) {
        return;
    }
    const bool final = is_final_phase(event.phase);
    const bool phase_changed = event.phase != last_phase_;
    const double interval = style_ == ProgressStyle::terminal ? redraw_seconds_ : plain_every_seconds_;
    if (!final && !phase_changed && elapsed_seconds - last_written_ < interval) {
        return;
    }
    last_phase_ = event.phase;
    last_written_ = elapsed_seconds;
    finished_ = final;
    if (style_ == ProgressStyle::terminal) {
        redraw(label_ + describe_progress(event, plan_, elapsed_seconds, terminal_bar_width), final);
    } else {
        out_ << label_ + describe_progress(event, plan_, elapsed_seconds, 0) + '\n' << std::flush;
    }
}

void ProgressReporter::note(const std::string& text) {
    if (style_ == ProgressStyle::none) {
        return;
    }
    // On a terminal the note takes the progress line's place; the next event draws it below.
    const std::string clear =
        style_ == ProgressStyle::terminal ? '\r' + std::string(drawn_width_, ' ') + '\r' : std::string();
    drawn_width_ = 0;
    out_ << clear + label_ + text + '\n' << std::flush;
}

void ProgressReporter::redraw(const std::string& line, bool final) {
    // Blanks cover the tail of a longer previous line: no escape codes, so any
    // console shows it right. One write, so the line never shows half drawn.
    std::string text = '\r' + pad_right(line, std::max(line.size(), drawn_width_));
    drawn_width_ = line.size();
    if (final) {
        text += '\n';
    }
    out_ << text << std::flush;
}

}  // namespace quorlind::bench
