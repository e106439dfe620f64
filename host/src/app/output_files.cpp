#include "app/output_files.h"

#include "export/csv.h"
#include "report/markdown/markdown_report.h"
#include "report/html/run_report.h"
#include "export/openmetrics.h"

#include <sstream>

namespace quorlind::bench {

std::string json_text(const Document& document) { return document.dump(2) + "\n"; }

ResultOutputs::ResultOutputs(const std::string& html_path, const std::string& openmetrics_path) {
    if (!html_path.empty() && !html_.emplace(html_path).ok()) {
        open_error_ = "--html: cannot write to '" + html_path + "'";
    } else if (!openmetrics_path.empty() && !openmetrics_.emplace(openmetrics_path).ok()) {
        open_error_ = "--openmetrics: cannot write to '" + openmetrics_path + "'";
    }
}

std::string ResultOutputs::write(const Result& result) {
    if (!open_error_.empty()) {
        return open_error_;
    }
    if (html_) {
        if (std::string error = html_->commit(render_result_html(result)); !error.empty()) {
            return "--html: " + error;
        }
    }
    if (openmetrics_) {
        if (std::string error = openmetrics_->commit(to_openmetrics(result)); !error.empty()) {
            return "--openmetrics: " + error;
        }
    }
    return {};
}

RunOutputs::RunOutputs(const Options& options) {
    if (options.json && !options.json_to_stdout() && !json_.emplace(options.json_path).ok()) {
        open_error_ = "--json: cannot write to '" + options.json_path + "'";
        return;
    }
    if (!options.csv_path.empty() && !csv_.emplace(options.csv_path).ok()) {
        open_error_ = "--csv: cannot write to '" + options.csv_path + "'";
        return;
    }
    if (!options.markdown_path.empty() && !options.markdown_to_stdout() &&
        !markdown_.emplace(options.markdown_path).ok()) {
        open_error_ = "--markdown: cannot write to '" + options.markdown_path + "'";
        return;
    }
    open_error_ = reports_.emplace(options.html_path, options.openmetrics_path).open_error();
}

std::string RunOutputs::write(const Result& result) {
    if (!open_error_.empty()) {
        return open_error_;
    }
    if (json_) {
        if (std::string error = json_->commit(json_text(to_json(result))); !error.empty()) {
            return "--json: " + error;
        }
    }
    if (csv_) {
        std::ostringstream csv;
        write_samples_csv(csv, result);
        if (std::string error = csv_->commit(csv.str()); !error.empty()) {
            return "--csv: " + error;
        }
    }
    if (markdown_) {
        std::ostringstream markdown;
        write_run_markdown(markdown, result);
        if (std::string error = markdown_->commit(markdown.str()); !error.empty()) {
            return "--markdown: " + error;
        }
    }
    return reports_->write(result);
}

}  // namespace quorlind::bench
