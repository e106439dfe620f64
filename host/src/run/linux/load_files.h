#pragma once

#include "run/load_sampler.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorlind::bench::linux_load {

// Parsers of the kernel's files, pure so that recorded files test them. Each
// returns nothing for a text it does not recognise.

struct SchedStat {
    std::uint64_t run_nanos = 0;
    std::uint64_t wait_nanos = 0;
};
// /proc/<pid>/task/<tid>/schedstat: "run wait timeslices".
std::optional<SchedStat> parse_schedstat(std::string_view text);

struct TaskStat {
    std::uint64_t user_ticks = 0;
    std::uint64_t system_ticks = 0;
    int processor = 0;
};
// /proc/<pid>/stat or a task's stat; the name in parentheses may hold
// anything, parentheses and spaces included.
std::optional<TaskStat> parse_task_stat(std::string_view text);

// The nonvoluntary_ctxt_switches line of a status file.
std::optional<std::uint64_t> parse_involuntary_switches(std::string_view status);

struct MachineTicks {
    std::uint64_t busy = 0;  // user nice system irq softirq
    std::uint64_t total = 0;
    std::uint64_t steal = 0;
};
// The "cpu " line of /proc/stat; guest time is already inside user and nice.
std::optional<MachineTicks> parse_proc_stat(std::string_view text);

// A whole non-negative number alone on its line, as in scaling_cur_freq (kHz)
// and hwmon's temp*_input (millidegrees).
std::optional<std::uint64_t> parse_whole_number(std::string_view text);

// Temperatures outside what a working sensor reports read as no reading.
std::optional<double> celsius_from_millidegrees(std::string_view text);

// The probe over a tree laid out as / is: `root` is "/" for this process, or
// a recorded tree whose proc/self and sys hold the same files.
std::unique_ptr<LoadProbe> make_probe(const std::filesystem::path& root);

}  // namespace quorlind::bench::linux_load
