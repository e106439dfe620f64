#pragma once

#include "app/compare_options.h"
#include "result/run_record.h"

#include <quorlind.h>

#include <string>
#include <vector>

namespace quorlind::bench {

struct Options {
    ThreadMode threads = ThreadMode::single;
    unsigned repeat = 1;  // runs of each kind
    double warmup_seconds = 0.0;
    double measurement_seconds = 0.0;
    bool json = false;
    std::string json_path;         // "-" (or /dev/stdout) means standard output
    std::string csv_path;          // empty means no CSV
    std::string html_path;         // empty means no HTML report
    std::string openmetrics_path;  // empty means no OpenMetrics file
    std::string markdown_path;     // empty means no Markdown; "-" means standard output
    bool dry_run = false;          // --dry-run: print the plan, run nothing
    bool quiet = false;
    bool system_only = false;  // --system: describe the machine, run nothing

    bool json_to_stdout() const;
    // Every file asked for, in the order they are written: --json, --csv, --markdown, --html,
    // --openmetrics.
    std::vector<OutputRequest> outputs() const;
};

// `report RESULT.json`: renders a saved result, runs nothing.
struct ReportOptions {
    std::string result_path;
    std::string html_path;
    std::string openmetrics_path;

    std::vector<OutputRequest> outputs() const;
};

enum class CommandAction { run, compare, report, show_help, show_version };

struct ParsedCommandLine {
    CommandAction action = CommandAction::run;
    Options options;
    CompareOptions compare;  // for CommandAction::compare
    ReportOptions report;    // for CommandAction::report
    std::string help;        // for CommandAction::show_help
};

// Defaults for --warmup and --measure come from the library's configuration.
// A command line that asks for what cannot be done throws a usage Failure.
ParsedCommandLine parse_command_line(int argc, const char* const* argv, const QuorlindRunConfig& defaults);

// What the user should know before a run starts: a run of more than a day, a
// measurement too short to give variation or stability.
std::vector<std::string> duration_warnings(const Options& options);

QuorlindRunConfig make_run_config(const Options& options, const QuorlindRunConfig& defaults,
                                  std::uint32_t benchmark);

}  // namespace quorlind::bench
