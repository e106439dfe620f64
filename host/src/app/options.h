#pragma once

#include "app/compare_options.h"
#include "result/run_record.h"

#include <quorlind.h>

#include <string>

namespace quorlind::bench {

struct Options {
    ThreadMode threads = ThreadMode::single;
    unsigned repeat = 1;  // runs of each kind
    double warmup_seconds = 0.0;
    double measurement_seconds = 0.0;
    bool json = false;
    std::string json_path;         // empty or "-" means standard output
    std::string csv_path;          // empty means no CSV
    std::string html_path;         // empty means no HTML report
    std::string openmetrics_path;  // empty means no OpenMetrics file
    std::string markdown_path;     // empty means no Markdown; "-" means standard output
    bool dry_run = false;          // --dry-run: print the plan, run nothing
    bool quiet = false;
    bool system_only = false;  // --system: describe the machine, run nothing

    bool json_to_stdout() const { return json && (json_path.empty() || json_path == "-"); }
    bool markdown_to_stdout() const { return markdown_path == "-"; }
};

// `report RESULT.json`: renders a saved result, runs nothing.
struct ReportOptions {
    std::string result_path;
    std::string html_path;
    std::string openmetrics_path;
};

enum class CommandAction { run, compare, report, show_help, show_version, usage_error };

struct ParsedCommandLine {
    CommandAction action = CommandAction::run;
    Options options;
    CompareOptions compare;  // for CommandAction::compare
    ReportOptions report;    // for CommandAction::report
    std::string text;        // help text, or the one-line usage error
};

// Defaults for --warmup and --measure come from the library's configuration.
ParsedCommandLine parse_command_line(int argc, const char* const* argv, const QuorlindRunConfig& defaults);

QuorlindRunConfig make_run_config(const Options& options, const QuorlindRunConfig& defaults,
                                  std::uint32_t benchmark);

}  // namespace quorlind::bench
