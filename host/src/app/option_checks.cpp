#include "app/option_checks.h"

#include "util/number_format.h"
#include "util/printable_text.h"

#include <cmath>
#include <cstdio>

namespace quorlind::bench::option_checks {
namespace {

std::string refusal(const std::string& expected, const std::string& value) {
    return "expected " + expected + ", got '" + printable_text(value, 60) + "'";
}

std::string seconds_text(double seconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", seconds);
    return buffer;
}

}  // namespace

double largest_seconds() { return std::nextafter(18446744073709551616.0, 0.0); }

CLI::Validator seconds(bool zero_allowed) {
    return CLI::Validator(
        [zero_allowed](std::string& value) -> std::string {
            const auto number = parse_finite_number(value);
            if (!number || *number < 0.0 || (!zero_allowed && *number == 0.0)) {
                return refusal(std::string("a finite number of seconds ") + (zero_allowed ? ">= 0" : "> 0"),
                               value);
            }
            if (*number > largest_seconds()) {
                return refusal("at most " + seconds_text(largest_seconds()) + " seconds, the library's limit",
                               value);
            }
            return {};
        },
        "");
}

CLI::Validator finite_number(bool (*accept)(double), const std::string& expected) {
    return CLI::Validator(
        [accept, expected](std::string& value) -> std::string {
            const auto number = parse_finite_number(value);
            return number && accept(*number) ? std::string() : refusal(expected, value);
        },
        "");
}

CLI::Validator explained(const CLI::Validator& check, const std::string& expected) {
    return CLI::Validator(
        [check, expected](std::string& value) -> std::string {
            const std::string given = value;
            return check(value).empty() ? std::string() : refusal(expected, given);
        },
        "");
}

CLI::Validator output_path() {
    return CLI::Validator(
        [](std::string& value) -> std::string {
            return value.empty() ? std::string("expected a file name, or - for standard output")
                                 : std::string();
        },
        "");
}

}  // namespace quorlind::bench::option_checks
