#pragma once

#include <string>
#include <vector>

#include "compare/comparison.h"

namespace CLI {
class App;
}  // namespace CLI

namespace quorlind::bench {

// An output as the command line asked for it: the option and its path.
struct OutputRequest {
    std::string option;
    std::string path;
};

struct CompareOptions {
    std::vector<std::string> files;  // the base first
    ComparisonSettings settings;
    std::string json_path;      // empty means no JSON; "-" means standard output
    std::string html_path;      // empty means no HTML report
    std::string markdown_path;  // empty means no Markdown; "-" means standard output

    bool json_to_stdout() const;
    std::vector<OutputRequest> outputs() const;
};

// Adds `compare BASE NEW [MORE...]` to the command line; CLI11 fills in and
// checks the options as it parses.
CLI::App* add_compare_command(CLI::App& app, CompareOptions& options);

// What no single option can check: --detect above --threshold. Throws a usage Failure.
void check_compare_options(const CompareOptions& options);

}  // namespace quorlind::bench
