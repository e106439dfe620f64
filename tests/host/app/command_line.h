#pragma once

#include "app/options.h"
#include "util/failure.h"

#include <string>
#include <vector>

namespace quorlind::bench::testing {

inline constexpr QuorlindRunConfig library_defaults{
    QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, QUORLIND_BENCHMARK_SINGLE, 0, 120.0, 60.0};

// A parsed command line, or the usage Failure that refused it.
struct Parsed : ParsedCommandLine {
    bool usage_error = false;
    std::string text;  // the help, or the usage error's message
};

inline Parsed parse_arguments(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv{"quorlind-bench"};
    for (const auto& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    Parsed parsed;
    try {
        static_cast<ParsedCommandLine&>(parsed) =
            parse_command_line(static_cast<int>(argv.size()), argv.data(), library_defaults);
        parsed.text = parsed.help;
    } catch (const Failure& failure) {
        parsed.usage_error = failure.kind() == Failure::Kind::usage;
        parsed.text = failure.what();
    }
    return parsed;
}

}  // namespace quorlind::bench::testing
