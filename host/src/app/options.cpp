#include "app/options.h"

#include "app/compare_options.h"
#include "app/option_checks.h"
#include "result/names.h"
#include "util/failure.h"
#include "util/number_format.h"
#include "util/output_file.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>

namespace quorlind::bench {
namespace {

constexpr const char* exit_code_help =
    "Exit codes:\n"
    "  0    every run completed\n"
    "  1    a run failed (the reason is printed on standard error;\n"
    "       the other runs are still reported), or an output could not be written\n"
    "  2    usage error (nothing was run)\n"
    "  130  cancelled with Ctrl-C (partial results are still printed)\n"
    "  143  cancelled by SIGTERM, 129 by SIGHUP, likewise\n"
    "Ctrl-C once cancels the run; a second one, half a second later or more,\n"
    "quits at once, keeping the files of the runs completed before it.";

// report runs nothing, so it has no run to fail and none to cancel.
constexpr const char* report_exit_code_help =
    "Exit codes:\n"
    "  0    the report was printed or written\n"
    "  1    the result file cannot be read or is invalid, or an output\n"
    "       cannot be written\n"
    "  2    usage error (nothing was read)";

// The limit keeps a typo from booking the machine for days.
constexpr unsigned max_repeat = 1000;

constexpr double seconds_per_day = 86400.0;
// The library's samples: a shorter measurement gives one partial sample.
constexpr double interval_seconds = 1.0;

// compare and report run nothing, so the options of a run have no place beside them.
void refuse_run_options(const CLI::App& app, const std::string& command) {
    for (const CLI::Option* option : app.get_options()) {
        if (option->count() > 0) {
            throw usage_failure(option->get_name() + " belongs to a benchmark run, not to " + command);
        }
    }
}

// The options of a benchmark run, on the top-level command, one line each.
void add_run_options(CLI::App& app, Options& options, bool& version, const QuorlindRunConfig& defaults) {
    using namespace option_checks;
    static const std::map<std::string, ThreadMode> thread_modes{
        {"single", ThreadMode::single}, {"all", ThreadMode::all}, {"both", ThreadMode::both}};
    options.warmup_seconds = defaults.warmup_seconds;
    options.measurement_seconds = defaults.measurement_seconds;

    app.add_option(
           "--threads", options.threads,
           "single: one worker thread (default); all: one per logical processor; both: single, then all")
        ->type_name("single|all|both")
        ->transform(explained(CLI::CheckedTransformer(thread_modes), "'single', 'all' or 'both'"));
    app.add_option("--repeat", options.repeat, "Run each kind N times, one after another (default 1)")
        ->type_name("N")
        ->check(
            explained(CLI::Range(1u, max_repeat), "a whole number from 1 to " + std::to_string(max_repeat)));
    app.add_option("--warmup", options.warmup_seconds,
                   "Warm-up before measuring, seconds >= 0 (default " +
                       format_fixed(defaults.warmup_seconds, 0) + ")")
        ->type_name("SECONDS")
        ->check(seconds(true));
    app.add_option(
           "--measure", options.measurement_seconds,
           "Measured time, seconds > 0 (default " + format_fixed(defaults.measurement_seconds, 0) + ")")
        ->type_name("SECONDS")
        ->check(seconds(false));
    // Bare --json means standard output; no positional argument follows the
    // options of a run, so the optional value cannot take an input's name.
    app.add_option("--json", options.json_path,
                   "Write the results as JSON to FILE, or to standard output (-)")
        ->expected(0, 1)
        ->default_str("-")
        ->type_name("[FILE|-]");
    app.add_option("--csv", options.csv_path, "Write the interval samples as CSV to FILE")
        ->type_name("FILE")
        ->check(output_path());
    app.add_option("--html", options.html_path, "Write a self-contained HTML report with charts to FILE")
        ->type_name("FILE")
        ->check(output_path());
    app.add_option("--openmetrics", options.openmetrics_path,
                   "Write the result as Prometheus metrics to FILE (for node_exporter's textfile collector)")
        ->type_name("FILE")
        ->check(output_path());
    app.add_option("--markdown", options.markdown_path,
                   "Write a summary table as GitHub-flavoured Markdown to FILE, or to standard output with -")
        ->type_name("FILE|-")
        ->check(output_path());
    app.add_flag("--dry-run", options.dry_run,
                 "Print the runs that would be made and the expected time, and run nothing");
    app.add_flag("--quiet", options.quiet, "No progress output while running");
    app.add_flag("--version", version, "Print the tool, library and C interface versions");
    app.add_flag("--system", options.system_only,
                 "Describe this machine (as JSON with --json) and run nothing")
        ->excludes("--html")
        ->excludes("--openmetrics")
        ->excludes("--markdown")
        ->excludes("--dry-run");
}

CLI::App* add_report_command(CLI::App& app, ReportOptions& report_options) {
    using namespace option_checks;
    CLI::App* report =
        app.add_subcommand("report",
                           "Print a saved result file's report (from --json), or write it with --html or "
                           "--openmetrics, without running anything");
    report->footer(report_exit_code_help);
    report->add_option("result", report_options.result_path, "The result file")
        ->required()
        ->type_name("RESULT.json");
    report->add_option("--html", report_options.html_path, "Write a self-contained HTML report to FILE")
        ->type_name("FILE")
        ->check(output_path());
    report->add_option("--openmetrics", report_options.openmetrics_path, "Write Prometheus metrics to FILE")
        ->type_name("FILE")
        ->check(output_path());
    return report;
}

std::string parse_error_text(const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
        if (std::string(error.what()).find("--dry-run") != std::string::npos) {
            return "--dry-run plans a benchmark run, and --system makes none";
        }
        return "--system runs nothing, so there is no result for --html, --openmetrics or --markdown";
    }
    return std::string(error.what()) + " (see --help)";
}

std::string duration_text(double seconds) {
    if (seconds >= 2 * seconds_per_day) {
        return format_fixed(seconds / seconds_per_day, 1) + " days";
    }
    return format_fixed(seconds / 3600.0, 1) + " hours";
}

}  // namespace

bool Options::json_to_stdout() const { return json && is_standard_output(json_path); }

std::vector<OutputRequest> Options::outputs() const {
    std::vector<OutputRequest> outputs;
    if (json) {
        outputs.push_back({"--json", json_path});
    }
    for (const auto& [option, path] : {std::pair<const char*, const std::string&>{"--csv", csv_path},
                                       {"--markdown", markdown_path},
                                       {"--html", html_path},
                                       {"--openmetrics", openmetrics_path}}) {
        if (!path.empty()) {
            outputs.push_back({option, path});
        }
    }
    return outputs;
}

std::vector<OutputRequest> ReportOptions::outputs() const {
    std::vector<OutputRequest> outputs;
    if (!html_path.empty()) {
        outputs.push_back({"--html", html_path});
    }
    if (!openmetrics_path.empty()) {
        outputs.push_back({"--openmetrics", openmetrics_path});
    }
    return outputs;
}

ParsedCommandLine parse_command_line(int argc, const char* const* argv, const QuorlindRunConfig& defaults) {
    CLI::App app{"Measures how many benchmark operations per second this processor sustains.", tool_name};
    // CLI11 would read "/name" as an option on Windows; here it is a path, as under Wine.
    app.allow_windows_style_options(false);
    ParsedCommandLine parsed;
    bool version = false;
    add_run_options(app, parsed.options, version, defaults);
    // Before the subcommands, which take the footer from here.
    app.footer(exit_code_help);
    CLI::App* compare = add_compare_command(app, parsed.compare);
    CLI::App* report = add_report_command(app, parsed.report);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        parsed.action = CommandAction::show_help;
        parsed.help = compare->parsed() ? compare->help() : report->parsed() ? report->help() : app.help();
        return parsed;
    } catch (const CLI::ParseError& error) {
        throw usage_failure(parse_error_text(error));
    }
    if (compare->parsed()) {
        refuse_run_options(app, "compare");
        check_compare_options(parsed.compare);
        parsed.action = CommandAction::compare;
    } else if (report->parsed()) {
        refuse_run_options(app, "report");
        parsed.action = CommandAction::report;
    } else if (version) {
        parsed.action = CommandAction::show_version;
    } else {
        Options& options = parsed.options;
        options.json = app.count("--json") > 0;
        if (options.json && options.json_path.empty()) {
            throw usage_failure("--json: expected a file name, or - for standard output");
        }
    }
    return parsed;
}

std::vector<std::string> duration_warnings(const Options& options) {
    std::vector<std::string> warnings;
    const double run_seconds = options.warmup_seconds + options.measurement_seconds;
    if (run_seconds > seconds_per_day) {
        warnings.push_back("--warmup and --measure take " + duration_text(run_seconds) +
                           " for each run; Ctrl-C cancels");
    }
    if (options.measurement_seconds < interval_seconds) {
        char measured[32];
        std::snprintf(measured, sizeof measured, "%g", options.measurement_seconds);
        warnings.push_back(std::string("--measure ") + measured +
                           " is shorter than one interval (1 s): no variation or stability can be given");
    }
    return warnings;
}

QuorlindRunConfig make_run_config(const Options& options, const QuorlindRunConfig& defaults,
                                  std::uint32_t benchmark) {
    QuorlindRunConfig config = defaults;
    config.benchmark = benchmark;
    config.warmup_seconds = options.warmup_seconds;
    config.measurement_seconds = options.measurement_seconds;
    return config;
}

}  // namespace quorlind::bench
