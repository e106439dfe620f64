#pragma once

#include <string>

#include "system/system_record.h"

namespace quorlind::bench {

// The same reading from a topology that hwloc saved as XML (lstopo
// file.xml), so tests can describe machines they do not run on. Unknown
// throughout when the file cannot be loaded.
Topology read_topology_from_xml(const std::string& path);

}  // namespace quorlind::bench
