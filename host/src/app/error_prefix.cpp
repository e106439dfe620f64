#include "app/error_prefix.h"

#include "result/names.h"

namespace quorlind::bench {

std::string error_prefix(std::string_view subcommand) {
    std::string prefix = std::string(tool_name) + ": ";
    if (!subcommand.empty()) {
        prefix.append(subcommand).append(": ");
    }
    return prefix;
}

}  // namespace quorlind::bench
