#pragma once

#include <string>

#include "system/system_record.h"

namespace quorlind::bench {

// The same reading from a topology that hwloc saved as XML (lstopo
// file.xml), so tests can describe machines they do not run on. Unknown
// throughout when the file cannot be loaded.
// `usable` lists the processors the process may run on, as taskset writes
// them ("0-3,8"); empty leaves the usable counts unknown.
Topology read_topology_from_xml(const std::string& path, const std::string& usable = {});

}  // namespace quorlind::bench
