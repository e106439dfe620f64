#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/options.h"
#include "result/json_writer.h"
#include "util/output_file.h"

namespace quorlind::bench {

// A JSON document as the tool writes it, to a file or to standard output.
std::string json_text(const Document& document);

// Refuses, as a usage Failure and before anything is read or run, an output
// that is the same file as an input or as another output: the same path, a
// link to it, or standard output twice.
void refuse_overlaps(const std::vector<std::string>& inputs, const std::vector<OutputRequest>& outputs);

// Whether any output goes to standard output, which then holds it alone.
bool any_to_standard_output(const std::vector<OutputRequest>& outputs);

// The files made from a result document (--html, --openmetrics), for a run and
// for `report` alike: claimed before any work, so a bad path costs nothing
// (a usage Failure), and each written whole or not at all once the document
// exists (a write_failed Failure).
class ResultOutputs {
public:
    // An empty path means the file was not asked for.
    ResultOutputs(const std::string& html_path, const std::string& openmetrics_path);

    // Renders and writes every file asked for; with only_replaceable, only
    // those that can be written once more later.
    void write(const Result& result, bool only_replaceable = false);

private:
    std::optional<OutputFile> html_;
    std::optional<OutputFile> openmetrics_;
};

// Every file a benchmark run writes: --json, --csv, --markdown, --html and --openmetrics,
// claimed in that order before the run. After each run of a series the runs
// so far are written to the files that can be replaced, so a process that
// quits midway leaves them holding every run completed; a run that never
// completed leaves every earlier file as it was.
class RunOutputs {
public:
    explicit RunOutputs(const Options& options);

    // The runs so far, into every file that can be replaced again; standard
    // output and other streams wait for write().
    void checkpoint(const Result& result);
    // Writes every file asked for, stopping at the first that fails.
    void write(const Result& result);

private:
    void write_files(const Result& result, bool only_replaceable);

    std::optional<OutputFile> json_;
    std::optional<OutputFile> csv_;
    std::optional<OutputFile> markdown_;
    std::optional<ResultOutputs> reports_;
};

}  // namespace quorlind::bench
