#include "run/series.h"
#include "system/build_info.h"
#include "app/compare_command.h"
#include "export/csv.h"
#include "app/error_prefix.h"
#include "app/exit_codes.h"
#include "run/interrupt.h"
#include "run/plan.h"
#include "result/json_writer.h"
#include "result/names.h"
#include "app/options.h"
#include "run/console.h"
#include "report/text/run_report.h"
#include "report/text/system_report.h"
#include "app/render_command.h"
#include "app/output_files.h"
#include "system/gather.h"

#include <quorlind.h>

#include <fstream>
#include <iostream>
#include <optional>
#include <vector>

namespace quorlind::bench {
namespace {

int usage_failure(const std::string& message) {
    std::cerr << error_prefix() << message << '\n';
    return exit_code::usage;
}

void print_versions() {
    std::cout << tool_name << ' ' << QUORLIND_BENCH_VERSION << '\n'
              << "library " << quorlind_version() << '\n'
              << "C interface " << quorlind_abi_version() << " (built against " << QUORLIND_ABI_VERSION
              << ")\n";
}

// Output files are opened before the run, so a bad path costs nothing.
std::optional<std::ofstream> open_output(const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return std::nullopt;
    }
    return file;
}

ProgressStyle choose_progress_style(const Options& options) {
    if (options.quiet) {
        return ProgressStyle::none;
    }
    return platform::stderr_is_terminal() ? ProgressStyle::terminal : ProgressStyle::plain;
}

SystemRecord describe_this_system() {
    SystemRecord system = gather_system_record();
    system.library_version = quorlind_version();
    system.abi_version = quorlind_abi_version();
    return system;
}

int show_system(const Options& options) {
    const SystemRecord system = describe_this_system();
    const BuildInfo tool_build = tool_build_info();
    if (!options.json) {
        write_system_report(std::cout, system, QUORLIND_BENCH_VERSION, tool_build);
        return exit_code::completed;
    }
    const std::string text = system_document_json(QUORLIND_BENCH_VERSION, tool_build, system).dump(2) + "\n";
    if (options.json_to_stdout()) {
        std::cout << text;
        return exit_code::completed;
    }
    std::ofstream file(options.json_path, std::ios::binary | std::ios::trunc);
    if (!(file << text) || !file.flush()) {
        return usage_failure("--json: cannot write to '" + options.json_path + "'");
    }
    return exit_code::completed;
}

void report_failures(const std::vector<RunRecord>& runs) {
    for (const auto& run : runs) {
        if (run.summary.status != QUORLIND_STATUS_FAILED) {
            continue;
        }
        if (runs.size() == 1) {
            std::cerr << error_prefix() << "the run failed: " << run.reason << '\n';
        } else {
            std::cerr << error_prefix() << "run " << run.index + 1 << " failed: " << run.reason << '\n';
        }
    }
}

int run(int argc, const char* const* argv) {
    install_interrupt_handling(exit_code::interrupted);
    QuorlindRunConfig defaults{};
    quorlind_default_config(&defaults);
    const ParsedCommandLine parsed = parse_command_line(argc, argv, defaults);
    switch (parsed.action) {
        case CommandAction::show_help:
            std::cout << parsed.text;
            return exit_code::completed;
        case CommandAction::show_version:
            print_versions();
            return exit_code::completed;
        case CommandAction::usage_error:
            return usage_failure(parsed.text);
        case CommandAction::compare:
            return run_compare(parsed.compare, QUORLIND_BENCH_VERSION, std::cout, std::cerr);
        case CommandAction::report:
            return render_saved_result(parsed.report, std::cerr);
        case CommandAction::run:
            break;
    }
    const Options& options = parsed.options;
    if (options.system_only) {
        return show_system(options);
    }

    std::optional<std::ofstream> json_file;
    if (options.json && !options.json_to_stdout() && !(json_file = open_output(options.json_path))) {
        return usage_failure("--json: cannot write to '" + options.json_path + "'");
    }
    std::optional<std::ofstream> csv_file;
    if (!options.csv_path.empty() && !(csv_file = open_output(options.csv_path))) {
        return usage_failure("--csv: cannot write to '" + options.csv_path + "'");
    }
    ResultOutputs result_outputs(options.html_path, options.openmetrics_path);
    if (!result_outputs.open_error().empty()) {
        return usage_failure(result_outputs.open_error());
    }

    ResultRecord record;
    record.tool_version = QUORLIND_BENCH_VERSION;
    record.tool_build = tool_build_info();
    record.threads = options.threads;
    record.repeat = options.repeat;
    record.warmup_seconds = options.warmup_seconds;
    record.measurement_seconds = options.measurement_seconds;
    record.system = describe_this_system();
    record.notes = environment_notes(environment_facts(record.system));
    if (!options.quiet) {
        for (const auto& note : record.notes) {
            std::cerr << "note: " << note << '\n';
        }
    }

    std::vector<QuorlindRunConfig> configs;
    for (const std::uint32_t benchmark : planned_benchmarks(options.threads, options.repeat)) {
        configs.push_back(make_run_config(options, defaults, benchmark));
    }
    run_series(record, configs, choose_progress_style(options), std::cerr);
    finish_system_record(record.system);

    const Result result = result_of_run(record);
    if (options.json) {
        const std::string text = result.document.dump(2) + "\n";
        if (json_file) {
            *json_file << text;
        } else {
            std::cout << text;
        }
    }
    if (csv_file) {
        write_samples_csv(*csv_file, result);
    }
    report_failures(record.runs);
    // A lone failed run has nothing to report beyond its reason.
    const bool lone_failure =
        record.runs.size() == 1 && record.runs.front().summary.status == QUORLIND_STATUS_FAILED;
    if (!lone_failure && !options.json_to_stdout()) {
        write_report(std::cout, result);
    }
    std::cout.flush();
    if ((json_file && !json_file->flush()) || (csv_file && !csv_file->flush())) {
        std::cerr << error_prefix() << "writing the output files failed\n";
        return exit_code::run_failed;
    }
    if (const std::string error = result_outputs.write(result); !error.empty()) {
        std::cerr << error_prefix() << error << '\n';
        return exit_code::run_failed;
    }
    // A Ctrl-C that fell between two runs cancelled none, yet ended the series.
    return interrupt_requested() ? exit_code::interrupted : exit_code_for(record.runs);
}

}  // namespace
}  // namespace quorlind::bench

int main(int argc, char** argv) { return quorlind::bench::run(argc, argv); }
