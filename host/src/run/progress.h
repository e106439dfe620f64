#pragma once

#include <quorlind.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace quorlind::bench {

enum class ProgressStyle {
    none,      // --quiet
    plain,     // a log line per phase change and every few seconds
    terminal,  // one line redrawn in place
};

struct RunDurations {
    double warmup_seconds = 0.0;
    double measurement_seconds = 0.0;
};

// Seconds left in the run as configured; workload building is not foreseeable.
double remaining_seconds(const QuorlindProgressEvent& event, const RunDurations& plan);

// "measurement  53%  elapsed 0:32  left 0:28  12,345,678 ops/s so far", with a
// bar between name and percent when bar_width > 0. The rate is the phase's
// operations over its elapsed time, from its first second on; the final
// line's is the run's.
std::string describe_progress(const QuorlindProgressEvent& event, const RunDurations& plan,
                              double elapsed_seconds, int bar_width);

// Turns the library's progress events into output. The library calls back as
// often as it likes; the reporter decides what is worth writing.
class ProgressReporter {
public:
    // label: put before every line, e.g. "run 2 of 5"; empty for a lone run.
    ProgressReporter(ProgressStyle style, std::ostream& out, RunDurations plan, std::string label = {},
                     double redraw_seconds = 0.1, double plain_every_seconds = 5.0);

    // elapsed_seconds: wall time since the run began.
    void on_event(const QuorlindProgressEvent& event, double elapsed_seconds);

    // A line of its own between progress lines ("the machine is busy: ...").
    void note(const std::string& text);

private:
    void redraw(const std::string& line, bool final);

    ProgressStyle style_;
    std::ostream& out_;
    RunDurations plan_;
    double redraw_seconds_;
    double plain_every_seconds_;
    std::string label_;
    std::uint32_t last_phase_ = 0;
    double last_written_ = 0.0;
    std::size_t drawn_width_ = 0;
    bool finished_ = false;
};

}  // namespace quorlind::bench
