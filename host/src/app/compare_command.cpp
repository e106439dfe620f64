#include "app/compare_command.h"

#include <optional>
#include <sstream>

#include "compare/comparison_json.h"
#include "report/text/comparison_report.h"
#include "app/error_prefix.h"
#include "app/exit_codes.h"
#include "report/html/comparison_report.h"
#include "report/markdown/markdown_report.h"
#include "util/output_file.h"
#include "result/reader.h"
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

}  // namespace

int run_compare(const CompareOptions& options, const std::string& tool_version, std::ostream& out,
                std::ostream& err) {
    // Claimed before anything is read; written whole at the end, or not at all,
    // so that a failure never leaves a previous file cut short or removed.
    std::optional<OutputFile> json_file;
    if (options.json && !options.json_to_stdout() && !json_file.emplace(options.json_path).ok()) {
        err << error_prefix() << "--json: cannot write to '" << printable_text(options.json_path) << "'\n";
        return exit_code::usage;
    }
    std::optional<OutputFile> html;
    if (!options.html_path.empty() && !html.emplace(options.html_path).ok()) {
        err << error_prefix() << "--html: cannot write to '" << printable_text(options.html_path) << "'\n";
        return exit_code::usage;
    }
    std::optional<OutputFile> markdown;
    if (!options.markdown_path.empty() && !options.markdown_to_stdout() &&
        !markdown.emplace(options.markdown_path).ok()) {
        err << error_prefix() << "--markdown: cannot write to '" << printable_text(options.markdown_path)
            << "'\n";
        return exit_code::usage;
    }
    std::vector<Result> files;
    try {
        for (const auto& path : options.files) {
            files.push_back(read_result_file(path));
        }
    } catch (const InvalidResultFile& error) {
        err << error_prefix() << printable_text(error.what(), 1000) << '\n';
        return exit_code::invalid_file;
    }
    const Comparison comparison = compare_results(files, options.settings);
    const nlohmann::ordered_json record = comparison_to_json(comparison, tool_version);

    if (options.json) {
        // File names are bytes and may not be UTF-8; they are then written with U+FFFD.
        const std::string text =
            record.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
        if (!json_file) {
            out << text;
        } else if (const std::string error = json_file->commit(text); !error.empty()) {
            err << error_prefix() << "--json: " << printable_text(error) << '\n';
            return exit_code::run_failed;
        }
    }
    if (html) {
        if (const std::string error = html->commit(render_comparison_html(comparison, files, tool_version));
            !error.empty()) {
            err << error_prefix() << "--html: " << printable_text(error) << '\n';
            return exit_code::run_failed;
        }
    }
    const int exit_code = exit_code_for(outcome_of(comparison));
    if (!options.markdown_path.empty()) {
        std::ostringstream text;
        write_comparison_markdown(text, comparison, exit_code);
        if (!markdown) {
            out << text.str();
        } else if (const std::string error = markdown->commit(text.str()); !error.empty()) {
            err << error_prefix() << "--markdown: " << printable_text(error) << '\n';
            return exit_code::run_failed;
        }
    }
    // Standard output holds one thing: the JSON, the Markdown or the report.
    if (!options.json_to_stdout() && !options.markdown_to_stdout()) {
        write_comparison_report(out, comparison);
    }
    out.flush();
    return exit_code;
}

}  // namespace quorlind::bench
