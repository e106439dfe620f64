#include "app/compare_command.h"
#include "app/exit_codes.h"
#include "app/failure_boundary.h"
#include "app/options.h"
#include "app/output_files.h"
#include "app/render_command.h"
#include "app/run_preview.h"
#include "app/run_plan.h"
#include "report/text/run_report.h"
#include "report/text/system_report.h"
#include "result/json_writer.h"
#include "result/names.h"
#include "result/result.h"
#include "run/console.h"
#include "run/interrupt.h"
#include "run/library_info.h"
#include "run/series.h"
#include "system/build_info.h"
#include "system/environment_notes.h"
#include "system/gather.h"
#include "util/failure.h"
#include "util/output_file.h"

#include <iostream>
#include <optional>
#include <vector>

namespace quorlind::bench {
namespace {

void print_versions(const LibraryInfo& library) {
    std::cout << tool_name << ' ' << QUORLIND_BENCH_VERSION << '\n'
              << "library " << library.version << '\n'
              << "C interface " << library.abi_version << " (built against " << QUORLIND_ABI_VERSION << ")\n";
}

SystemRecord describe_this_system(const LibraryInfo& library) {
    SystemRecord system = gather_system_record();
    system.library_version = library.version;
    system.abi_version = library.abi_version;
    return system;
}

// --system: the record alone, as text or as JSON.
int show_system(const Options& options, const LibraryInfo& library) {
    std::optional<OutputFile> json_file;
    if (options.json) {
        json_file.emplace("--json", options.json_path);
    }
    const SystemRecord system = describe_this_system(library);
    const BuildInfo tool_build = tool_build_info();
    if (json_file) {
        json_file->commit(json_text(system_document_json(QUORLIND_BENCH_VERSION, tool_build, system)));
    } else {
        write_system_report(std::cout, system, QUORLIND_BENCH_VERSION, tool_build);
    }
    return exit_code::completed;
}

ProgressStyle choose_progress_style(const Options& options) {
    if (options.quiet) {
        return ProgressStyle::none;
    }
    return console::stderr_is_terminal() ? ProgressStyle::terminal : ProgressStyle::plain;
}

// What is known before the first run: what was asked, and the machine.
ResultRecord start_result(const Options& options, const LibraryInfo& library) {
    ResultRecord record;
    record.tool_version = QUORLIND_BENCH_VERSION;
    record.tool_build = tool_build_info();
    record.threads = options.threads;
    record.repeat = options.repeat;
    record.warmup_seconds = options.warmup_seconds;
    record.measurement_seconds = options.measurement_seconds;
    record.system = describe_this_system(library);
    record.notes = environment_notes(environment_facts(record.system));
    return record;
}

std::vector<QuorlindRunConfig> run_configs(const Options& options, const QuorlindRunConfig& defaults) {
    std::vector<QuorlindRunConfig> configs;
    for (const std::uint32_t benchmark : planned_benchmarks(options.threads, options.repeat)) {
        configs.push_back(make_run_config(options, defaults, benchmark));
    }
    return configs;
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

// Standard output holds an output file given as -, alone, or else the report.
void print_result(const Options& options, const Result& result) {
    const ResultRecord& record = result.record;
    report_failures(record.runs);
    // A lone failed run has nothing to report beyond its reason.
    const bool lone_failure =
        record.runs.size() == 1 && record.runs.front().summary.status == QUORLIND_STATUS_FAILED;
    if (!lone_failure && !any_to_standard_output(options.outputs())) {
        write_report(std::cout, result);
    }
    std::cout.flush();
}

int run_benchmarks(const Options& options, const LibraryInfo& library) {
    // Claimed before the run, so a bad path costs nothing; written at the end.
    RunOutputs outputs(options);
    ResultRecord record = start_result(options, library);
    if (!options.quiet) {
        for (const auto& warning : duration_warnings(options)) {
            std::cerr << "warning: " << warning << '\n';
        }
        for (const auto& note : record.notes) {
            std::cerr << "note: " << note << '\n';
        }
    }
    // The runs so far are in the files after each run, so that an interrupt
    // that quits at once, or a kill, loses only the run it cut short. A
    // failed write there is reported by the last one.
    bool checkpoints = true;
    const auto checkpoint = [&](const ResultRecord& so_far) {
        if (checkpoints) {
            try {
                outputs.checkpoint(result_of_run(so_far));
            } catch (const Failure&) {
                checkpoints = false;
            }
        }
    };
    run_series(record, run_configs(options, library.defaults), choose_progress_style(options), std::cerr,
               checkpoint);
    finish_system_record(record.system);

    const Result result = result_of_run(record);
    print_result(options, result);
    outputs.write(result);
    // An interrupt that fell between two runs cancelled none, yet ended the series.
    return interrupt_requested() ? interrupt_exit_code() : exit_code_for(record.runs);
}

int run_command(const ParsedCommandLine& parsed, const LibraryInfo& library) {
    switch (parsed.action) {
        case CommandAction::show_help:
            std::cout << parsed.help;
            return exit_code::completed;
        case CommandAction::show_version:
            print_versions(library);
            return exit_code::completed;
        case CommandAction::compare:
            return run_compare(parsed.compare, QUORLIND_BENCH_VERSION, std::cout, std::cerr);
        case CommandAction::report:
            return render_saved_result(parsed.report, std::cerr);
        case CommandAction::run:
            break;
    }
    return run_reporting_failures(std::cerr, [&] {
        if (parsed.options.system_only) {
            return show_system(parsed.options, library);
        }
        if (parsed.options.dry_run) {
            write_run_preview(std::cout, parsed.options);
            return exit_code::completed;
        }
        return run_benchmarks(parsed.options, library);
    });
}

int run(int argc, const char* const* argv) {
    install_interrupt_handling();
    const LibraryInfo library = library_info();
    ParsedCommandLine parsed;
    if (const int code = run_reporting_failures(std::cerr,
                                                [&] {
                                                    parsed = parse_command_line(argc, argv, library.defaults);
                                                    return exit_code::completed;
                                                });
        code != exit_code::completed) {
        return code;
    }
    return run_command(parsed, library);
}

}  // namespace
}  // namespace quorlind::bench

int main(int argc, char** argv) { return quorlind::bench::run(argc, argv); }
