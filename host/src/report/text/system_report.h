#pragma once

#include <ostream>
#include <string>

#include "system/system_record.h"

namespace quorlind::bench {

// The system record alone, as the run report's header and for --system.
void write_system_report(std::ostream& out, const SystemRecord& system, const std::string& tool_version,
                         const BuildInfo& tool_build);

}  // namespace quorlind::bench
