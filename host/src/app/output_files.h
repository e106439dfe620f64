#pragma once

#include <optional>
#include <string>

#include "app/options.h"
#include "result/json_writer.h"
#include "util/output_file.h"

namespace quorlind::bench {

// A JSON document as the tool writes it, to a file or to standard output.
std::string json_text(const Document& document);

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

// Every file a benchmark run writes: --json FILE, --csv FILE, --markdown
// FILE, --html and --openmetrics, claimed in that order before the run and
// written at its end. A run of minutes that fails to finish, or a process
// that quits midway, leaves every earlier file as it was.
class RunOutputs {
public:
    explicit RunOutputs(const Options& options);

    // Empty when every file asked for can be written; else which option and path cannot.
    const std::string& open_error() const { return open_error_; }

    // Writes every file asked for, stopping at the first that fails; empty on
    // success, else which option and what failed.
    std::string write(const Result& result);

private:
    std::optional<OutputFile> json_;
    std::optional<OutputFile> csv_;
    std::optional<OutputFile> markdown_;  // a file; "-" is printed with the result
    std::optional<ResultOutputs> reports_;
    std::string open_error_;
};

}  // namespace quorlind::bench
