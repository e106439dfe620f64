#pragma once

#include <optional>
#include <string>

#include "result/result.h"
#include "util/output_file.h"

namespace quorlind::bench {

// The files made from a result document (--html, --openmetrics), for a run and
// for `report` alike: claimed before any work, so a bad path costs nothing,
// and each written whole or not at all once the document exists.
class ResultOutputs {
public:
    // An empty path means the file was not asked for.
    ResultOutputs(const std::string& html_path, const std::string& openmetrics_path);

    // Empty when every file asked for can be written; else which option and path cannot.
    const std::string& open_error() const { return open_error_; }

    // Renders and writes every file asked for; empty on success, else what failed.
    std::string write(const Result& result);

private:
    std::optional<OutputFile> html_;
    std::optional<OutputFile> openmetrics_;
    std::string open_error_;
};

}  // namespace quorlind::bench
