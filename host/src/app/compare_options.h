#pragma once

#include <optional>
#include <string>
#include <vector>

#include "compare/comparison.h"

namespace CLI {
class App;
}  // namespace CLI

namespace quorlind::bench {

struct CompareOptions {
    std::vector<std::string> files;  // the base first
    ComparisonSettings settings;
    bool json = false;
    std::string json_path;  // empty or "-" means standard output
    std::string html_path;  // empty means no HTML report

    bool json_to_stdout() const { return json && (json_path.empty() || json_path == "-"); }
};

// What CLI11 fills in while parsing; checked afterwards by finish_compare_options.
struct CompareArguments {
    std::vector<std::string> files;
    std::string threshold;
    std::string confidence;
    std::string detect;
    bool same_machine = false;
    std::string json_path;
    std::string html_path;
};

// Adds `compare BASE NEW [MORE...]` to the command line.
CLI::App* add_compare_command(CLI::App& app, CompareArguments& raw);

// The checked options, or the one-line usage error.
struct FinishedCompareOptions {
    CompareOptions options;
    std::optional<std::string> error;
};
FinishedCompareOptions finish_compare_options(const CLI::App& command, const CompareArguments& raw);

}  // namespace quorlind::bench
