#include "app/options.h"

#include "app/compare_options.h"
#include "result/names.h"
#include "util/number_format.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <optional>
#include <utility>

namespace quorlind::bench {
namespace {

constexpr const char* exit_code_help =
    "Exit codes:\n"
    "  0    every run completed\n"
    "  1    a run failed (the reason is printed on standard error;\n"
    "       the other runs are still reported)\n"
    "  2    usage error (nothing was run)\n"
    "  130  cancelled with Ctrl-C (partial results are still printed)\n"
    "Ctrl-C once cancels the run; a second Ctrl-C quits at once.";

// report runs nothing, so it has no run to fail and none to cancel.
constexpr const char* report_exit_code_help =
    "Exit codes:\n"
    "  0    the report was printed or written\n"
    "  1    the result file cannot be read or is invalid, or an output\n"
    "       cannot be written\n"
    "  2    usage error (nothing was read)";

// The limit keeps a typo from booking the machine for days.
constexpr unsigned max_repeat = 1000;

struct RawArguments {
    std::string threads = "single";
    std::string repeat;
    std::string warmup;
    std::string measure;
    std::string json_path;
    std::string csv_path;
    std::string html_path;
    std::string openmetrics_path;
    std::string markdown_path;
    bool quiet = false;
    bool dry_run = false;
    bool version = false;
    bool system = false;
};

ParsedCommandLine action_only(CommandAction action, std::string text = {}) {
    ParsedCommandLine parsed;
    parsed.action = action;
    parsed.text = std::move(text);
    return parsed;
}

ParsedCommandLine usage_error(std::string message) {
    return action_only(CommandAction::usage_error, std::move(message));
}

// compare and report run nothing, so the options of a run have no place beside them.
std::optional<ParsedCommandLine> refuse_run_options(const CLI::App& app, const std::string& command) {
    for (const CLI::Option* option : app.get_options()) {
        if (option->count() > 0) {
            return usage_error(option->get_name() + " belongs to a benchmark run, not to " + command);
        }
    }
    return std::nullopt;
}

ParsedCommandLine finish_compare(const CLI::App& app, const CLI::App& compare, const CompareArguments& raw) {
    if (auto refused = refuse_run_options(app, "compare")) {
        return *refused;
    }
    FinishedCompareOptions finished = finish_compare_options(compare, raw);
    if (finished.error) {
        return usage_error(*finished.error);
    }
    ParsedCommandLine parsed;
    parsed.action = CommandAction::compare;
    parsed.compare = std::move(finished.options);
    return parsed;
}

ParsedCommandLine finish_report(const CLI::App& app, const ReportOptions& report) {
    if (auto refused = refuse_run_options(app, "report")) {
        return *refused;
    }
    ParsedCommandLine parsed;
    parsed.action = CommandAction::report;
    parsed.report = report;
    return parsed;
}

// The options of a benchmark run, on the top-level command. Returns --json,
// whose presence alone matters when it names no file.
CLI::Option* add_run_options(CLI::App& app, RawArguments& raw, const QuorlindRunConfig& defaults) {
    app.add_option(
           "--threads", raw.threads,
           "single: one worker thread (default); all: one per logical processor; both: single, then all")
        ->type_name("single|all|both");
    app.add_option("--repeat", raw.repeat, "Run each kind N times, one after another (default 1)")
        ->type_name("N");
    app.add_option("--warmup", raw.warmup,
                   "Warm-up before measuring, seconds >= 0 (default " +
                       format_fixed(defaults.warmup_seconds, 0) + ")")
        ->type_name("SECONDS");
    app.add_option(
           "--measure", raw.measure,
           "Measured time, seconds > 0 (default " + format_fixed(defaults.measurement_seconds, 0) + ")")
        ->type_name("SECONDS");
    auto* json =
        app.add_option("--json", raw.json_path, "Write the results as JSON to FILE, or to standard output")
            ->expected(0, 1)
            ->type_name("[FILE]");
    app.add_option("--csv", raw.csv_path, "Write the interval samples as CSV to FILE")->type_name("FILE");
    app.add_option("--html", raw.html_path, "Write a self-contained HTML report with charts to FILE")
        ->type_name("FILE");
    app.add_option("--openmetrics", raw.openmetrics_path,
                   "Write the result as Prometheus metrics to FILE (for node_exporter's textfile collector)")
        ->type_name("FILE");
    app.add_option("--markdown", raw.markdown_path,
                   "Write a summary table as GitHub-flavoured Markdown to FILE, or to standard output with -")
        ->type_name("FILE");
    app.add_flag("--dry-run", raw.dry_run,
                 "Print the runs that would be made and the expected time, and run nothing");
    app.add_flag("--quiet", raw.quiet, "No progress output while running");
    app.add_flag("--version", raw.version, "Print the tool, library and C interface versions");
    app.add_flag("--system", raw.system, "Describe this machine (as JSON with --json) and run nothing");
    return json;
}

CLI::App* add_report_command(CLI::App& app, ReportOptions& report_options) {
    CLI::App* report =
        app.add_subcommand("report",
                           "Print a saved result file's report (from --json), or write it with --html or "
                           "--openmetrics, without running anything");
    report->footer(report_exit_code_help);
    report->add_option("result", report_options.result_path, "The result file")
        ->required()
        ->type_name("RESULT.json");
    report->add_option("--html", report_options.html_path, "Write a self-contained HTML report to FILE")
        ->type_name("FILE");
    report->add_option("--openmetrics", report_options.openmetrics_path, "Write Prometheus metrics to FILE")
        ->type_name("FILE");
    return report;
}

std::optional<unsigned> repeat_from(const std::string& text) {
    unsigned repeat = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, error] = std::from_chars(first, last, repeat);
    if (error != std::errc{} || end != last || repeat < 1 || repeat > max_repeat) {
        return std::nullopt;
    }
    return repeat;
}

// --threads, --repeat, --warmup and --measure; an empty text when all are valid.
std::string read_run_shape(const CLI::App& app, const RawArguments& raw, const QuorlindRunConfig& defaults,
                           Options& options) {
    if (const auto mode = thread_mode_of_name(raw.threads)) {
        options.threads = *mode;
    } else {
        return "--threads: expected 'single', 'all' or 'both', got '" + raw.threads + "'";
    }
    if (app.count("--repeat") > 0) {
        if (const auto repeat = repeat_from(raw.repeat)) {
            options.repeat = *repeat;
        } else {
            return "--repeat: expected a whole number from 1 to " + std::to_string(max_repeat) + ", got '" +
                   raw.repeat + "'";
        }
    }
    options.warmup_seconds = defaults.warmup_seconds;
    if (!raw.warmup.empty() || app.count("--warmup") > 0) {
        const auto value = parse_finite_number(raw.warmup);
        if (!value || *value < 0.0) {
            return "--warmup: expected a finite number of seconds >= 0, got '" + raw.warmup + "'";
        }
        options.warmup_seconds = *value;
    }
    options.measurement_seconds = defaults.measurement_seconds;
    if (!raw.measure.empty() || app.count("--measure") > 0) {
        const auto value = parse_finite_number(raw.measure);
        if (!value || *value <= 0.0) {
            return "--measure: expected a finite number of seconds > 0, got '" + raw.measure + "'";
        }
        options.measurement_seconds = *value;
    }
    return {};
}

// --json, --csv, --html and --openmetrics; an empty text when all are valid.
std::string read_outputs(const CLI::App& app, const RawArguments& raw, bool json_given, Options& options) {
    options.json = json_given;
    options.json_path = raw.json_path;
    if (app.count("--csv") > 0 && raw.csv_path.empty()) {
        return "--csv: expected a file name";
    }
    options.csv_path = raw.csv_path;
    for (const auto& [name, path] : {std::pair<const char*, const std::string&>{"--html", raw.html_path},
                                     {"--openmetrics", raw.openmetrics_path},
                                     {"--markdown", raw.markdown_path}}) {
        if (app.count(name) > 0 && path.empty()) {
            return std::string(name) + ": expected a file name";
        }
    }
    options.html_path = raw.html_path;
    options.openmetrics_path = raw.openmetrics_path;
    options.markdown_path = raw.markdown_path;
    if (options.json_to_stdout() && options.markdown_to_stdout()) {
        return "--json and --markdown -: only one of them can write to standard output";
    }
    return {};
}

ParsedCommandLine finish_run(const CLI::App& app, const RawArguments& raw, bool json_given,
                             const QuorlindRunConfig& defaults) {
    ParsedCommandLine parsed;
    Options& options = parsed.options;
    if (std::string error = read_run_shape(app, raw, defaults, options); !error.empty()) {
        return usage_error(std::move(error));
    }
    if (std::string error = read_outputs(app, raw, json_given, options); !error.empty()) {
        return usage_error(std::move(error));
    }
    options.quiet = raw.quiet;
    options.system_only = raw.system;
    options.dry_run = raw.dry_run;
    if (options.system_only &&
        !(options.html_path.empty() && options.openmetrics_path.empty() && options.markdown_path.empty())) {
        return usage_error(
            "--system runs nothing, so there is no result for --html, --openmetrics or --markdown");
    }
    if (options.system_only && options.dry_run) {
        return usage_error("--dry-run plans a benchmark run, and --system makes none");
    }
    return parsed;
}

}  // namespace

ParsedCommandLine parse_command_line(int argc, const char* const* argv, const QuorlindRunConfig& defaults) {
    CLI::App app{"Measures how many benchmark operations per second this processor sustains.", tool_name};
    // CLI11 would read "/name" as an option on Windows; here it is a path, as under Wine.
    app.allow_windows_style_options(false);
    RawArguments raw;
    const CLI::Option* json = add_run_options(app, raw, defaults);
    // Before the subcommands, which take the footer from here.
    app.footer(exit_code_help);
    CompareArguments compare_raw;
    CLI::App* compare = add_compare_command(app, compare_raw);
    ReportOptions report_options;
    CLI::App* report = add_report_command(app, report_options);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return action_only(CommandAction::show_help, compare->parsed()  ? compare->help()
                                                     : report->parsed() ? report->help()
                                                                        : app.help());
    } catch (const CLI::ParseError& error) {
        return usage_error(std::string(error.what()) + " (see --help)");
    }
    if (compare->parsed()) {
        return finish_compare(app, *compare, compare_raw);
    }
    if (report->parsed()) {
        return finish_report(app, report_options);
    }
    if (raw.version) {
        return action_only(CommandAction::show_version);
    }
    return finish_run(app, raw, json->count() > 0, defaults);
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
