#pragma once

#include <string>
#include <string_view>

namespace quorlind::bench {

// How every error line begins: "quorlind-bench: ", and for `report`, which
// names itself since its errors are about a file it was given,
// "quorlind-bench: report: ".
std::string error_prefix(std::string_view subcommand = {});

}  // namespace quorlind::bench
