#include "app/output_files.h"

#include "report/html/run_report.h"
#include "export/openmetrics.h"

namespace quorlind::bench {

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

}  // namespace quorlind::bench
