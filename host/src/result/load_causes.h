#pragma once

#include "result/run_load.h"

#include <quorlind.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorlind::bench {

inline constexpr double disturbed_run_share = 0.97;       // the workers' share of the whole window
inline constexpr double disturbed_interval_share = 0.90;  // of any one interval
inline constexpr double busy_other_cpus = 0.25;           // processors' worth
inline constexpr double busy_steal_share = 0.02;
inline constexpr double clock_fall_ratio = 0.95;
inline constexpr double hot_celsius = 90.0;

struct Disturbance {
    std::optional<bool> disturbed;       // empty where the workers' share is unknown
    std::vector<std::size_t> intervals;  // those under disturbed_interval_share
};

// Disturbed when the workers got under 97 % of the window, or an interval under 90 %.
Disturbance judge_disturbance(const RunLoad& load);

enum class CauseKind { other_processes, steal, clock_fall, temperature };

// "other_processes", "steal", "clock_fall", "temperature".
const char* cause_kind_name(CauseKind kind);

struct LoadCause {
    CauseKind kind = CauseKind::other_processes;
    std::vector<std::size_t> intervals;  // indices into the run's samples
    // Processors for other processes, a share for steal, MHz fallen to for
    // the clock, degrees Celsius for the temperature.
    double figure = 0.0;
    // Share of the workers' time the cause may explain; orders the causes.
    double strength = 0.0;
    std::string text;  // "the hypervisor took 7 % (steal)"
};

// Each cause the figures support, strongest first; empty when they show none.
std::vector<LoadCause> name_causes(const RunLoad& load, const std::vector<QuorlindIntervalSample>& samples,
                                   std::uint32_t workers);

// "disturbed: other processes used ...; the hypervisor took 7 % (steal)",
// "not disturbed" (followed by any cause, "not disturbed; the clock fell
// ..."), or the causes alone where the share is unknown. A disturbed run
// without a cause says "no cause seen in what this machine reports".
std::string describe_load(const Disturbance& disturbance, const std::vector<LoadCause>& causes);

inline constexpr const char* no_cause_text = "no cause seen in what this machine reports";

// "the machine is busy: other processes used 0.9 processors during the
// warm-up", when the warm-up saw more than a quarter of a processor in use
// elsewhere or steal above 2 %.
std::optional<std::string> busy_warmup_note(const LoadFigures& warmup);

// All workers' operations over all their processor time; for kind 2 it reads
// per processor. Empty without the processor time.
std::optional<double> operations_per_processor_second(std::uint64_t operations,
                                                      const std::optional<double>& worker_cpu_seconds);

}  // namespace quorlind::bench
