#include "app/output_files.h"

#include "export/csv.h"
#include "export/openmetrics.h"
#include "report/html/run_report.h"
#include "report/markdown/markdown_report.h"
#include "util/failure.h"
#include "util/printable_text.h"

#include <sstream>

namespace quorlind::bench {
namespace {

void commit(std::optional<OutputFile>& file, bool only_replaceable, const auto& render) {
    if (file && (!only_replaceable || file->replaceable())) {
        file->commit(render());
    }
}

std::string quoted(const std::string& path) {
    return is_standard_output(path) ? std::string("standard output") : "'" + printable_text(path, 1000) + "'";
}

}  // namespace

std::string json_text(const Document& document) { return document.dump(2) + "\n"; }

void refuse_overlaps(const std::vector<std::string>& inputs, const std::vector<OutputRequest>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputRequest& output = outputs[i];
        for (const std::string& input : inputs) {
            if (same_file(output.path, input)) {
                throw usage_failure(output.option + ": " + quoted(output.path) +
                                    " is an input; it would be overwritten");
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (same_file(output.path, outputs[j].path)) {
                throw usage_failure(output.option + ": " + quoted(output.path) + " is also the " +
                                    outputs[j].option + " output");
            }
        }
    }
}

bool any_to_standard_output(const std::vector<OutputRequest>& outputs) {
    for (const auto& output : outputs) {
        if (is_standard_output(output.path)) {
            return true;
        }
    }
    return false;
}

ResultOutputs::ResultOutputs(const std::string& html_path, const std::string& openmetrics_path) {
    if (!html_path.empty()) {
        html_.emplace("--html", html_path);
    }
    if (!openmetrics_path.empty()) {
        openmetrics_.emplace("--openmetrics", openmetrics_path);
    }
}

void ResultOutputs::write(const Result& result, bool only_replaceable) {
    commit(html_, only_replaceable, [&] { return render_result_html(result); });
    commit(openmetrics_, only_replaceable, [&] { return to_openmetrics(result); });
}

RunOutputs::RunOutputs(const Options& options) {
    refuse_overlaps({}, options.outputs());
    if (options.json) {
        json_.emplace("--json", options.json_path);
    }
    if (!options.csv_path.empty()) {
        csv_.emplace("--csv", options.csv_path);
    }
    if (!options.markdown_path.empty()) {
        markdown_.emplace("--markdown", options.markdown_path);
    }
    reports_.emplace(options.html_path, options.openmetrics_path);
}

void RunOutputs::checkpoint(const Result& result) { write_files(result, true); }

void RunOutputs::write(const Result& result) { write_files(result, false); }

void RunOutputs::write_files(const Result& result, bool only_replaceable) {
    commit(json_, only_replaceable, [&] { return json_text(to_json(result)); });
    commit(csv_, only_replaceable, [&] {
        std::ostringstream csv;
        write_samples_csv(csv, result);
        return csv.str();
    });
    commit(markdown_, only_replaceable, [&] {
        std::ostringstream markdown;
        write_run_markdown(markdown, result);
        return markdown.str();
    });
    reports_->write(result, only_replaceable);
}

}  // namespace quorlind::bench
