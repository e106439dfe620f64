#include "app/compare_options.h"

#include "app/option_checks.h"
#include "util/failure.h"
#include "util/number_format.h"
#include "util/output_file.h"

#include <CLI/CLI.hpp>

namespace quorlind::bench {
namespace {

constexpr const char* compare_exit_code_help =
    "Each file after the first is compared with the first, one verdict per kind of run.\n"
    "Exit codes:\n"
    "  0  same or faster: the interval's lower end lies above -threshold, so a slowdown beyond the\n"
    "     threshold is excluded at the chosen confidence\n"
    "  1  a file could not be read or is invalid, or an output could not be written\n"
    "     (the reason is printed)\n"
    "  2  usage error (nothing was read or written)\n"
    "  3  slower: the whole interval lies below -threshold\n"
    "  4  not comparable: a different library, warm-up or measured time, or no kind of run in common\n"
    "  5  inconclusive: the interval reaches below -threshold without lying wholly below it, or the\n"
    "     runs cannot tell (one run per file, or one run on another machine); a hint says how many\n"
    "     runs would decide\n"
    "With several results the worst decides: 3, then 4, then 5, then 0.";

bool is_threshold(double percent) { return percent >= 0.0 && percent < 100.0; }
bool is_confidence(double level) { return level > 0.0 && level < 1.0; }
bool is_percentage(double percent) { return percent > 0.0 && percent < 100.0; }

}  // namespace

bool CompareOptions::json_to_stdout() const { return !json_path.empty() && is_standard_output(json_path); }

std::vector<OutputRequest> CompareOptions::outputs() const {
    std::vector<OutputRequest> outputs;
    if (!json_path.empty()) {
        outputs.push_back({"--json", json_path});
    }
    if (!html_path.empty()) {
        outputs.push_back({"--html", html_path});
    }
    if (!markdown_path.empty()) {
        outputs.push_back({"--markdown", markdown_path});
    }
    return outputs;
}

void check_compare_options(const CompareOptions& options) {
    const ComparisonSettings& settings = options.settings;
    if (settings.detect_percent && *settings.detect_percent <= settings.threshold_percent) {
        throw usage_failure("--detect: expected a percentage above the threshold (" +
                            format_exact(settings.threshold_percent) + ") and below 100");
    }
}

CLI::App* add_compare_command(CLI::App& app, CompareOptions& options) {
    using namespace option_checks;
    CLI::App* command = app.add_subcommand("compare", "Compare saved JSON results: NEW against BASE");
    command
        ->add_option("files", options.files,
                     "BASE.json, then NEW.json and any more results to set against it")
        ->type_name("FILE")
        ->expected(2, -1)
        ->required();
    command
        ->add_option("--threshold", options.settings.threshold_percent,
                     "The smallest change that counts, percent in [0, 100) (default 2)")
        ->type_name("PCT")
        ->check(finite_number(is_threshold, "a percentage >= 0 and below 100"));
    command
        ->add_option("--confidence", options.settings.confidence,
                     "Confidence of the interval, in (0, 1) (default 0.95)")
        ->type_name("LEVEL")
        ->check(finite_number(is_confidence, "a level between 0 and 1 such as 0.95"));
    command
        ->add_option("--detect", options.settings.detect_percent,
                     "The slowdown the repeats hint sizes the runs for, percent above the threshold "
                     "(default twice the threshold, or 2 at threshold 0)")
        ->type_name("PCT")
        ->check(finite_number(is_percentage, "a percentage above the threshold and below 100"));
    command->add_flag("--same-machine", options.settings.same_machine,
                      "Both files come from one machine: a file with one run may take the other's spread");
    // A value is required: an optional one would take BASE.json in
    // `compare --json BASE.json NEW.json` and overwrite it.
    command
        ->add_option("--json", options.json_path,
                     "Write the comparison as JSON to FILE, or with - to standard output")
        ->type_name("FILE|-")
        ->check(output_path());
    command
        ->add_option("--html", options.html_path,
                     "Write a self-contained HTML report of the comparison, with charts, to FILE")
        ->type_name("FILE")
        ->check(output_path());
    command
        ->add_option(
            "--markdown", options.markdown_path,
            "Write the verdict table as GitHub-flavoured Markdown to FILE, or to standard output with -")
        ->type_name("FILE|-")
        ->check(output_path());
    command->footer(compare_exit_code_help);
    return command;
}

}  // namespace quorlind::bench
