#include "app/compare_command.h"

#include <filesystem>
#include <optional>
#include <sstream>
#include <system_error>

#include "app/exit_codes.h"
#include "app/failure_boundary.h"
#include "app/output_files.h"
#include "compare/comparison_json.h"
#include "report/html/comparison_report.h"
#include "report/markdown/markdown_report.h"
#include "report/text/comparison_report.h"
#include "result/reader.h"
#include "util/failure.h"
#include "util/output_file.h"
#include "util/printable_text.h"

namespace quorlind::bench {
namespace {

int exit_code_for(ComparisonOutcome outcome) {
    switch (outcome) {
        case ComparisonOutcome::slower:
            return exit_code::slower;
        case ComparisonOutcome::not_comparable:
            return exit_code::not_comparable;
        case ComparisonOutcome::inconclusive:
            return exit_code::could_not_decide;
        case ComparisonOutcome::no_slowdown:
            break;
    }
    return exit_code::completed;
}

// `compare --json BASE NEW MORE` once sent the JSON to standard output; now
// --json takes BASE for its file. A saved result is never a comparison's
// output, so such a command is refused rather than overwriting BASE.
void refuse_saved_results(const std::vector<OutputRequest>& outputs) {
    for (const auto& output : outputs) {
        std::error_code error;
        if (is_standard_output(output.path) || !std::filesystem::is_regular_file(output.path, error)) {
            continue;
        }
        try {
            read_result_file(output.path);
        } catch (const InvalidResultFile&) {
            continue;
        }
        throw usage_failure(output.option + ": '" + printable_text(output.path, 1000) +
                            "' is a saved result, not a comparison; give another file, or - for standard "
                            "output");
    }
}

int compare(const CompareOptions& options, const std::string& tool_version, std::ostream& out) {
    refuse_overlaps(options.files, options.outputs());
    refuse_saved_results(options.outputs());
    // Claimed before anything is read; written whole at the end, or not at all,
    // so that a failure never leaves a previous file cut short or removed.
    std::optional<OutputFile> json_file;
    if (!options.json_path.empty()) {
        json_file.emplace("--json", options.json_path, out);
    }
    std::optional<OutputFile> html;
    if (!options.html_path.empty()) {
        html.emplace("--html", options.html_path, out);
    }
    std::optional<OutputFile> markdown;
    if (!options.markdown_path.empty()) {
        markdown.emplace("--markdown", options.markdown_path, out);
    }
    std::vector<Result> files;
    for (const auto& path : options.files) {
        files.push_back(read_input(path));
    }
    const Comparison comparison = compare_results(files, options.settings);
    if (json_file) {
        // File names are bytes and may not be UTF-8; they are then written with U+FFFD.
        json_file->commit(comparison_to_json(comparison, tool_version)
                              .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                          "\n");
    }
    if (html) {
        html->commit(render_comparison_html(comparison, files, tool_version));
    }
    const int exit_code = exit_code_for(outcome_of(comparison));
    if (markdown) {
        std::ostringstream text;
        write_comparison_markdown(text, comparison, exit_code);
        markdown->commit(text.str());
    }
    if (!any_to_standard_output(options.outputs())) {
        write_comparison_report(out, comparison);
    }
    out.flush();
    return exit_code;
}

}  // namespace

int run_compare(const CompareOptions& options, const std::string& tool_version, std::ostream& out,
                std::ostream& err) {
    return run_reporting_failures(err, [&] { return compare(options, tool_version, out); });
}

}  // namespace quorlind::bench
