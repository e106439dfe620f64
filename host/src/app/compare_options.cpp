#include "app/compare_options.h"

#include <CLI/CLI.hpp>

#include "util/number_format.h"

namespace quorlind::bench {
namespace {

constexpr const char* compare_exit_code_help =
    "Each file after the first is compared with the first, one verdict per kind of run.\n"
    "Exit codes:\n"
    "  0  same or faster: the interval's lower end lies above -threshold, so a slowdown beyond the\n"
    "     threshold is excluded at the chosen confidence\n"
    "  1  a file could not be read or is invalid (the reason is printed; nothing is written)\n"
    "  2  usage error\n"
    "  3  slower: the whole interval lies below -threshold\n"
    "  4  not comparable: a different library, warm-up or measured time, or no kind of run in common\n"
    "  5  inconclusive: the interval reaches below -threshold without lying wholly below it, or the\n"
    "     runs cannot tell (one run per file, or one run on another machine); a hint says how many\n"
    "     runs would decide\n"
    "With several results the worst decides: 3, then 4, then 5, then 0.";

FinishedCompareOptions refuse(std::string message) { return {{}, std::move(message)}; }

}  // namespace

CLI::App* add_compare_command(CLI::App& app, CompareArguments& raw) {
    CLI::App* command = app.add_subcommand("compare", "Compare saved JSON results: NEW against BASE");
    command->add_option("files", raw.files, "BASE.json, then NEW.json and any more results to set against it")
        ->type_name("FILE")
        ->expected(2, -1)
        ->required();
    command
        ->add_option("--threshold", raw.threshold,
                     "The smallest change that counts, percent in [0, 100) (default 2)")
        ->type_name("PCT");
    command
        ->add_option("--confidence", raw.confidence, "Confidence of the interval, in (0, 1) (default 0.95)")
        ->type_name("LEVEL");
    command
        ->add_option("--detect", raw.detect,
                     "The slowdown the repeats hint sizes the runs for, percent above the threshold "
                     "(default twice the threshold, or 2 at threshold 0)")
        ->type_name("PCT");
    command->add_flag("--same-machine", raw.same_machine,
                      "Both files come from one machine: a file with one run may take the other's spread");
    command
        ->add_option("--json", raw.json_path, "Write the comparison as JSON to FILE, or to standard output")
        ->expected(0, 1)
        ->type_name("[FILE]");
    command
        ->add_option("--html", raw.html_path,
                     "Write a self-contained HTML report of the comparison, with charts, to FILE")
        ->type_name("FILE");
    command->footer(compare_exit_code_help);
    return command;
}

FinishedCompareOptions finish_compare_options(const CLI::App& command, const CompareArguments& raw) {
    FinishedCompareOptions finished;
    CompareOptions& options = finished.options;
    options.files = raw.files;
    if (command.count("--threshold") > 0) {
        const auto value = parse_finite_number(raw.threshold);
        if (!value || *value < 0.0 || *value >= 100.0) {
            return refuse("--threshold: expected a percentage >= 0 and below 100, got '" + raw.threshold +
                          "'");
        }
        options.settings.threshold_percent = *value;
    }
    if (command.count("--confidence") > 0) {
        const auto value = parse_finite_number(raw.confidence);
        if (!value || *value <= 0.0 || *value >= 1.0) {
            return refuse("--confidence: expected a level between 0 and 1 such as 0.95, got '" +
                          raw.confidence + "'");
        }
        options.settings.confidence = *value;
    }
    if (command.count("--detect") > 0) {
        const auto value = parse_finite_number(raw.detect);
        if (!value || *value <= options.settings.threshold_percent || *value >= 100.0) {
            return refuse("--detect: expected a percentage above the threshold and below 100, got '" +
                          raw.detect + "'");
        }
        options.settings.detect_percent = *value;
    }
    options.settings.same_machine = raw.same_machine;
    options.json = command.count("--json") > 0;
    options.json_path = raw.json_path;
    if (command.count("--html") > 0 && raw.html_path.empty()) {
        return refuse("--html: expected a file name");
    }
    options.html_path = raw.html_path;
    return finished;
}

}  // namespace quorlind::bench
